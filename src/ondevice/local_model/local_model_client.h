#pragma once

#include "platform/language_services.h"

#include <QNetworkAccessManager>
#include <QUrl>
#include <chrono>
#include <memory>

namespace ovra {

class HttpClient;

// The device's language model: a local server on loopback that speaks the Ollama chat API
// (GET /api/tags, POST /api/chat, answers streamed). Availability is asked when a caller needs
// it, never polled.
class LocalModelClient final : public LanguageModel {
public:
    struct Options {
        QUrl baseUrl; // "http://127.0.0.1:11434"
        std::chrono::milliseconds availabilityTimeout{1'000};
        // Answers stream in; a long one, or the first load of a model on a CPU, may take
        // minutes, so only silence (or the ceiling) ends it.
        std::chrono::milliseconds answerIdleTimeout{60'000};
        std::chrono::milliseconds answerTimeout{600'000};
    };

    // The server of the deployment configuration.
    static Options defaultOptions();

    explicit LocalModelClient(Options options = defaultOptions());
    ~LocalModelClient() override;

    QCoro::Task<bool> isAvailable(CancelToken token) override;
    std::unique_ptr<LanguageModelSession> openSession(QString instructions) override;

    // What sessions share; they keep it alive after the client ends.
    struct Shared;

private:
    std::shared_ptr<Shared> m_shared;
};

} // namespace ovra
