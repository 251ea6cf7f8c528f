#include "fakes/fake_ollama_server.h"

// The build passes the options the distribution compiled cpp-httplib with (pkg-config).
#include <httplib.h>
#include <nlohmann/json.hpp>

namespace ovra::test {

FakeOllamaServer::FakeOllamaServer() : m_server(std::make_unique<httplib::Server>()) {
    m_server->Get("/api/tags", [this](const httplib::Request&, httplib::Response& response) {
        std::lock_guard lock(m_mutex);
        ++m_tagsRequests;
        nlohmann::json body{{"models", nlohmann::json::array()}};
        for (const auto& name : m_models)
            body["models"].push_back({{"name", name}, {"model", name}});
        response.status = m_tagsStatus;
        response.set_content(body.dump(), "application/json");
    });
    m_server->Post("/api/chat", [this](const httplib::Request& request,
                                       httplib::Response& response) {
        std::lock_guard lock(m_mutex);
        m_chatBodies.push_back(request.body);
        Reply reply = m_default;
        if (!m_replies.empty()) {
            reply = std::move(m_replies.front());
            m_replies.pop_front();
        }
        response.status = reply.status;
        if (!reply.rawBody.empty()) {
            response.set_content(reply.rawBody, "application/json");
            return;
        }
        const auto line = [](const std::string& piece, bool done) {
            const nlohmann::json body{{"model", "any"},
                                      {"message", {{"role", "assistant"}, {"content", piece}}},
                                      {"done", done}};
            return body.dump() + "\n";
        };
        if (reply.pieces.empty()) {
            response.set_content(line(reply.content, true), "application/x-ndjson");
            return;
        }
        response.set_chunked_content_provider("application/x-ndjson",
                                              [reply, line](std::size_t, httplib::DataSink& sink) {
                                                  for (const std::string& piece : reply.pieces) {
                                                      std::this_thread::sleep_for(reply.pieceGap);
                                                      const std::string text = line(piece, false);
                                                      if (!sink.write(text.data(), text.size()))
                                                          return false; // the client went away
                                                  }
                                                  const std::string last = line({}, true);
                                                  sink.write(last.data(), last.size());
                                                  sink.done();
                                                  return true;
                                              });
    });
    m_port = m_server->bind_to_any_port("127.0.0.1");
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    while (!m_server->is_running())
        std::this_thread::yield();
}

FakeOllamaServer::~FakeOllamaServer() {
    m_server->stop();
    if (m_thread.joinable())
        m_thread.join();
}

QUrl FakeOllamaServer::url() const {
    return QUrl(QStringLiteral("http://127.0.0.1:") + QString::number(m_port));
}

void FakeOllamaServer::setModels(std::vector<std::string> names) {
    std::lock_guard lock(m_mutex);
    m_models = std::move(names);
}

void FakeOllamaServer::setTagsStatus(int status) {
    std::lock_guard lock(m_mutex);
    m_tagsStatus = status;
}

void FakeOllamaServer::enqueue(Reply reply) {
    std::lock_guard lock(m_mutex);
    m_replies.push_back(std::move(reply));
}

std::vector<std::string> FakeOllamaServer::chatBodies() const {
    std::lock_guard lock(m_mutex);
    return m_chatBodies;
}

int FakeOllamaServer::tagsRequests() const {
    std::lock_guard lock(m_mutex);
    return m_tagsRequests;
}

} // namespace ovra::test
