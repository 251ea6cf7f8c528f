#pragma once

#include <QUrl>
#include <chrono>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
}

namespace ovra::test {

// A local model server on 127.0.0.1 (ephemeral port) that speaks the part of the Ollama API the
// device model uses: GET /api/tags lists `models`; POST /api/chat answers with the next scripted
// reply (then "resposta local") and records the request body. Answers are streamed the way the
// server streams them: one JSON object per line, the last one marked done.
class FakeOllamaServer {
public:
    struct Reply {
        int status = 200;
        std::string content; // the assistant's text
        std::string rawBody; // when set, sent instead of a chat answer
        // When set, the answer streams as these pieces, one line each, `pieceGap` apart.
        std::vector<std::string> pieces;
        std::chrono::milliseconds pieceGap{0};
    };

    FakeOllamaServer();
    ~FakeOllamaServer();
    FakeOllamaServer(const FakeOllamaServer&) = delete;
    FakeOllamaServer& operator=(const FakeOllamaServer&) = delete;

    QUrl url() const;

    void setModels(std::vector<std::string> names);
    void setTagsStatus(int status);
    void enqueue(Reply reply);

    std::vector<std::string> chatBodies() const;
    int tagsRequests() const;

private:
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    int m_port = 0;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_models;
    int m_tagsStatus = 200;
    int m_tagsRequests = 0;
    std::deque<Reply> m_replies;
    Reply m_default{200, "resposta local", {}};
    std::vector<std::string> m_chatBodies;
};

} // namespace ovra::test
