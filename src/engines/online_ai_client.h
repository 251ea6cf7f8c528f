#pragma once

#include "engines/engine_types.h"
#include "engines/http_request.h"
#include "settings/catalogues.h"
#include "support/errors.h"

#include <QList>
#include <QString>
#include <QUrl>
#include <nlohmann/json_fwd.hpp>
#include <optional>

namespace ovra {

class KeyStore;
class Prefs;

class OnlineAIError : public Error {
public:
    enum class Kind { http, notConfigured, emptyResponse, invalidResponse };

    static OnlineAIError http(int status, std::optional<QString> message);
    static OnlineAIError notConfigured();
    static OnlineAIError emptyResponse();
    static OnlineAIError invalidResponse();

    Kind kind() const { return m_kind; }
    int status() const { return m_status; }
    const std::optional<QString>& message() const { return m_message; }

private:
    OnlineAIError(Kind kind, QString description, int status = 0,
                  std::optional<QString> message = std::nullopt);
    Kind m_kind;
    int m_status;
    std::optional<QString> m_message;
};

// Talks to any service that accepts OpenAI-shaped chat-completions requests. Provider, key, base
// URL and model are read from the settings and the key store at every call.
class OnlineAIClient {
public:
    struct Message {
        QString role;
        QString content;
        bool operator==(const Message&) const = default;
    };

    OnlineAIClient(Prefs& prefs, KeyStore& keys, HttpClient& http);

    // A streamed answer may go on for minutes; silence ends it, and so does this ceiling.
    static constexpr std::chrono::milliseconds answerSilenceLimit{60'000};
    static constexpr std::chrono::milliseconds answerDeadline{300'000};

    // The reply to the whole conversation, trimmed. The answer is asked for as a stream of
    // server-sent events and handed to `progress` as it is written; a service answering with
    // one JSON body is read as before. Throws OnlineAIError, HttpTransportError,
    // ResponseDecodingError or CancelledError, also after part of the answer was given out.
    QCoro::Task<QString> performChat(QList<Message> messages, CancelToken token = {},
                                     TextProgress progress = {});
    QCoro::Task<QString> complete(QList<Message> messages, CancelToken token = {},
                                  TextProgress progress = {});
    QCoro::Task<QString> translate(QString text, TargetLanguage target, CancelToken token = {},
                                   TextProgress progress = {});
    QCoro::Task<QString> reformulate(QString text, CancelToken token = {},
                                     TextProgress progress = {});

    static QString translateInstruction(const TargetLanguage& target);
    static QString reformulateInstruction();
    // base URL, trimmed, minus one final "/", plus "/chat/completions"; nothing when unusable.
    static std::optional<QUrl> chatCompletionsUrl(const QString& baseURL);
    // The content of the first choice of an answer (every choice must have the documented
    // shape, else ResponseDecodingError); nothing when there is no choice or no content.
    static std::optional<QString> decodeReply(const nlohmann::json& root);
    // The "error.message" of an error answer, when it has one.
    static std::optional<QString> decodeErrorMessage(const QByteArray& body);

private:
    Prefs& m_prefs;
    KeyStore& m_keys;
    HttpClient& m_http;
};

} // namespace ovra
