#include "fakes/fake_ollama_server.h"

#include <nlohmann/json.hpp>

namespace ovra::test {

namespace {
std::string chatLine(const std::string& piece, bool done) {
    const nlohmann::json body{
        {"model", "any"}, {"message", {{"role", "assistant"}, {"content", piece}}}, {"done", done}};
    return body.dump() + "\n";
}
} // namespace

FakeOllamaServer::FakeOllamaServer() {
    m_http.setDefault(answer({200, "resposta local", {}}));
    serveTags();
}

FakeHttpServer::Response FakeOllamaServer::answer(const Reply& reply) {
    if (!reply.rawBody.empty())
        return {reply.status, reply.rawBody};
    if (reply.pieces.empty())
        return {reply.status, chatLine(reply.content, true), "application/x-ndjson"};
    FakeHttpServer::Response streamed{reply.status, {}, "application/x-ndjson"};
    streamed.stream = FakeHttpServer::Stream::pieces;
    for (const std::string& piece : reply.pieces)
        streamed.pieces.push_back(chatLine(piece, false));
    streamed.pieces.push_back(chatLine({}, true));
    streamed.firstPieceDelay = streamed.dripInterval = reply.pieceGap;
    return streamed;
}

void FakeOllamaServer::setModels(std::vector<std::string> names) {
    m_models = std::move(names);
    serveTags();
}

void FakeOllamaServer::setTagsStatus(int status) {
    m_tagsStatus = status;
    serveTags();
}

void FakeOllamaServer::serveTags() {
    nlohmann::json body{{"models", nlohmann::json::array()}};
    for (const auto& name : m_models)
        body["models"].push_back({{"name", name}, {"model", name}});
    m_http.route("/api/tags", {m_tagsStatus, body.dump()});
}

std::vector<std::string> FakeOllamaServer::bodiesSentTo(const std::string& path) const {
    std::vector<std::string> bodies;
    for (const auto& request : m_http.requests())
        if (request.path == path)
            bodies.push_back(request.body);
    return bodies;
}

} // namespace ovra::test
