#include "engines/online_ai_client.h"

#include "engines/event_stream.h"
#include "engines/response_decoding.h"
#include "settings/key_store.h"
#include "settings/prefs.h"
#include "support/bounded_json.h"

#include <nlohmann/json.hpp>

namespace ovra {

namespace {
QString httpDescription(int status, const std::optional<QString>& message) {
    if (message && !message->isEmpty())
        return QStringLiteral("IA online respondeu ") + QString::number(status) + u": " + *message;
    return QStringLiteral("IA online respondeu com erro ") + QString::number(status) + u'.';
}

} // namespace

std::optional<QString> OnlineAIClient::decodeErrorMessage(const QByteArray& body) {
    try {
        const nlohmann::json root = ResponseDecoding::parse(body);
        return ResponseDecoding::optionalString(ResponseDecoding::requiredObject(root, "error"),
                                                "message");
    } catch (const ResponseDecodingError&) {
        return std::nullopt;
    }
}

std::optional<QString> OnlineAIClient::decodeReply(const nlohmann::json& root) {
    const nlohmann::json& choices = ResponseDecoding::requiredArray(root, "choices");
    std::optional<std::optional<QString>> first;
    for (const auto& choice : choices) {
        auto content = ResponseDecoding::optionalString(
            ResponseDecoding::requiredObject(choice, "message"), "content");
        if (!first)
            first = std::move(content);
    }
    if (!first)
        return std::nullopt;
    return *first;
}

namespace {

// An answer read as server-sent events: each event's data is one chunk of the answer
// ({"choices":[{"delta":{"content":"…"}}]}), an error object, or "[DONE]" at the end.
class StreamedAnswer {
public:
    StreamedAnswer(TextProgress progress, QString key)
        : m_progress(std::move(progress)), m_key(std::move(key)) {}

    bool isStream() const { return m_isStream; }
    // "[DONE]" came, or the last chunk said why the answer ended.
    bool isFinished() const { return m_done || m_finished; }
    const QString& text() const { return m_text; }
    // The failure the stream reported, if it did.
    std::exception_ptr failure() const { return m_failure; }

    // False once nothing more needs reading: the answer is done, or failed.
    bool take(const HttpBodyPiece& piece) {
        if (!m_decided) {
            m_decided = true;
            m_status = piece.status;
            m_isStream = piece.status >= 200 && piece.status <= 299 &&
                         piece.contentType.trimmed().toLower().startsWith("text/event-stream");
        }
        if (!m_isStream)
            return true;
        for (const QByteArray& data : m_reader.feed(piece.bytes))
            if (!takeEvent(data))
                return false;
        return true;
    }

    // The end of the body: an event it ended in without a closing empty line still counts.
    void finish() {
        for (const QByteArray& data : m_reader.finish())
            if (!takeEvent(data))
                return;
    }

private:
    bool takeEvent(const QByteArray& data) {
        if (m_done || m_failure)
            return false;
        if (data.trimmed() == "[DONE]") {
            m_done = true;
            return false;
        }
        const nlohmann::json event = BoundedJson::parse(data);
        if (!event.is_object())
            return fail(std::make_exception_ptr(OnlineAIError::invalidResponse()));
        if (const auto error = event.find("error"); error != event.end()) {
            std::optional<QString> message;
            if (error->is_object())
                if (const auto text = error->find("message");
                    text != error->end() && text->is_string())
                    message = QString::fromStdString(text->get<std::string>());
            return fail(std::make_exception_ptr(
                OnlineAIError::http(m_status, withSecretMasked(message, m_key))));
        }
        const auto choices = event.find("choices");
        if (choices == event.end() || !choices->is_array() || choices->empty())
            return true; // usage reports and the like
        const nlohmann::json& choice = choices->front();
        if (!choice.is_object())
            return fail(std::make_exception_ptr(OnlineAIError::invalidResponse()));
        if (const auto delta = choice.find("delta"); delta != choice.end() && delta->is_object())
            if (const auto content = delta->find("content");
                content != delta->end() && content->is_string() &&
                !content->get_ref<const std::string&>().empty()) {
                m_text += QString::fromStdString(content->get<std::string>());
                const QString shown = m_text.trimmed();
                if (m_progress && !shown.isEmpty())
                    m_progress(shown);
            }
        // Some services close the stream after the last chunk without "[DONE]".
        if (const auto reason = choice.find("finish_reason");
            reason != choice.end() && reason->is_string())
            m_finished = true;
        return true;
    }
    bool fail(std::exception_ptr failure) {
        m_failure = std::move(failure);
        return false;
    }

    TextProgress m_progress;
    QString m_key;
    EventStreamReader m_reader;
    QString m_text;
    std::exception_ptr m_failure;
    int m_status = 0;
    bool m_decided = false;
    bool m_isStream = false;
    bool m_done = false;
    bool m_finished = false;
};

// A system message and the user's text. Built outside the coroutines: GCC 12 mishandles braced
// lists inside await expressions.
QList<OnlineAIClient::Message> twoMessages(QString system, QString user) {
    QList<OnlineAIClient::Message> messages;
    messages.append({QStringLiteral("system"), std::move(system)});
    messages.append({QStringLiteral("user"), std::move(user)});
    return messages;
}
} // namespace

OnlineAIError::OnlineAIError(Kind kind, QString description, int status,
                             std::optional<QString> message)
    : Error(std::move(description)), m_kind(kind), m_status(status), m_message(std::move(message)) {
}

OnlineAIError OnlineAIError::http(int status, std::optional<QString> message) {
    QString description = httpDescription(status, message);
    return OnlineAIError(Kind::http, std::move(description), status, std::move(message));
}
OnlineAIError OnlineAIError::notConfigured() {
    return OnlineAIError(Kind::notConfigured,
                         QStringLiteral("IA online não configurada (sem chave de API)."));
}
OnlineAIError OnlineAIError::emptyResponse() {
    return OnlineAIError(Kind::emptyResponse,
                         QStringLiteral("A IA online devolveu uma resposta vazia."));
}
OnlineAIError OnlineAIError::invalidResponse() {
    return OnlineAIError(Kind::invalidResponse,
                         QStringLiteral("Resposta inesperada da IA online."));
}

OnlineAIClient::OnlineAIClient(Prefs& prefs, KeyStore& keys, HttpClient& http)
    : m_prefs(prefs), m_keys(keys), m_http(http) {}

QString OnlineAIClient::translateInstruction(const TargetLanguage& target) {
    return QStringLiteral("You are a professional translator. Detect the source language of the "
                          "user's text automatically and translate it into ") +
           target.promptName +
           QStringLiteral(". Preserve the tone, formatting and line breaks. Reply with the "
                          "translation only, with no explanations or quotes.");
}

QString OnlineAIClient::reformulateInstruction() {
    return QStringLiteral("Reescreva o texto do usuário com clareza e naturalidade, mantendo o "
                          "idioma original e o sentido. Responda só com o texto final reescrito, "
                          "sem explicações, aspas ou comentários.");
}

std::optional<QUrl> OnlineAIClient::chatCompletionsUrl(const QString& baseURL) {
    QString base = baseURL.trimmed();
    if (base.endsWith(u'/'))
        base.chop(1);
    const QUrl url(base + u"/chat/completions", QUrl::StrictMode);
    if (!HttpClient::isSendable(url))
        return std::nullopt;
    return url;
}

QCoro::Task<QString> OnlineAIClient::performChat(QList<Message> messages, CancelToken token,
                                                 TextProgress progress) {
    const AIProvider provider = m_prefs.aiProvider();
    const std::optional<QString> key = m_keys.aiAPIKey(provider);
    if (!key || key->isEmpty())
        throw OnlineAIError::notConfigured();

    const std::optional<QUrl> url = chatCompletionsUrl(m_prefs.baseURL(provider));
    if (!url)
        throw OnlineAIError::invalidResponse();

    HttpClient::Request request;
    request.url = *url;
    request.headers = {
        {QByteArrayLiteral("Authorization"), QByteArrayLiteral("Bearer ") + key->toUtf8()},
        {QByteArrayLiteral("Content-Type"), QByteArrayLiteral("application/json")}};
    nlohmann::ordered_json wireMessages = nlohmann::ordered_json::array();
    for (const Message& message : std::as_const(messages))
        wireMessages.push_back(nlohmann::ordered_json{{"role", message.role.toStdString()},
                                                      {"content", message.content.toStdString()}});
    request.body =
        encodeRequestBody(nlohmann::ordered_json{{"model", m_prefs.model(provider).toStdString()},
                                                 {"messages", std::move(wireMessages)},
                                                 {"temperature", 0.3},
                                                 {"stream", true}});
    request.timeout = answerSilenceLimit;
    request.deadline = answerDeadline;
    auto streamed = std::make_shared<StreamedAnswer>(std::move(progress), *key);
    request.onBodyPiece = [streamed](const HttpBodyPiece& piece) { return streamed->take(piece); };

    HttpResponse response;
    try {
        response = co_await m_http.post(std::move(request), token);
    } catch (const HttpTransportError& error) {
        if (error.kind() != HttpTransportError::Kind::unexpectedResponse)
            throw;
        throw OnlineAIError::invalidResponse();
    }

    if (response.status < 200 || response.status > 299)
        throw OnlineAIError::http(response.status,
                                  withSecretMasked(decodeErrorMessage(response.body), *key));

    if (streamed->isStream()) {
        streamed->finish();
        if (streamed->failure())
            std::rethrow_exception(streamed->failure());
        if (!streamed->isFinished())
            throw OnlineAIError::invalidResponse(); // cut off before its end
        const QString reply = streamed->text().trimmed();
        if (reply.isEmpty())
            throw OnlineAIError::emptyResponse();
        co_return reply;
    }

    // A large answer is parsed on a worker thread.
    const nlohmann::json root = co_await ResponseDecoding::parseOffThread(std::move(response.body));
    const std::optional<QString> content = decodeReply(root);
    if (!content)
        throw OnlineAIError::emptyResponse();
    const QString reply = content->trimmed();
    if (reply.isEmpty())
        throw OnlineAIError::emptyResponse();
    co_return reply;
}

QCoro::Task<QString> OnlineAIClient::complete(QList<Message> messages, CancelToken token,
                                              TextProgress progress) {
    co_return co_await performChat(std::move(messages), std::move(token), std::move(progress));
}

QCoro::Task<QString> OnlineAIClient::translate(QString text, TargetLanguage target,
                                               CancelToken token, TextProgress progress) {
    co_return co_await performChat(twoMessages(translateInstruction(target), std::move(text)),
                                   std::move(token), std::move(progress));
}

QCoro::Task<QString> OnlineAIClient::reformulate(QString text, CancelToken token,
                                                 TextProgress progress) {
    co_return co_await performChat(twoMessages(reformulateInstruction(), std::move(text)),
                                   std::move(token), std::move(progress));
}

} // namespace ovra
