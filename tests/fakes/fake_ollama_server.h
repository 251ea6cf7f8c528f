#pragma once

#include "fakes/fake_http_server.h"

namespace ovra::test {

// A local model server on 127.0.0.1 (ephemeral port) that speaks the part of the Ollama API the
// device model uses: GET /api/tags lists `models`; POST /api/chat answers with the next scripted
// reply (then "resposta local"). Answers are streamed the way the server streams them: one JSON
// object per line, the last one marked done.
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

    QUrl url() const { return m_http.url(); }
    void setModels(std::vector<std::string> names);
    void setTagsStatus(int status);
    void enqueue(const Reply& reply) { m_http.enqueue(answer(reply)); }

    std::vector<std::string> chatBodies() const { return bodiesSentTo("/api/chat"); }
    int tagsRequests() const { return static_cast<int>(bodiesSentTo("/api/tags").size()); }

private:
    static FakeHttpServer::Response answer(const Reply& reply);
    void serveTags();
    std::vector<std::string> bodiesSentTo(const std::string& path) const;

    FakeHttpServer m_http;
    std::vector<std::string> m_models;
    int m_tagsStatus = 200;
};

} // namespace ovra::test
