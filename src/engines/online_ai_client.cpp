#include "engines/online_ai_client.h"

#include "engines/response_decoding.h"
#include "settings/key_store.h"
#include "settings/prefs.h"

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

QCoro::Task<QString> OnlineAIClient::performChat(QList<Message> messages, CancelToken token) {
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
                                                 {"temperature", 0.3}});

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

QCoro::Task<QString> OnlineAIClient::complete(QList<Message> messages, CancelToken token) {
    co_return co_await performChat(std::move(messages), std::move(token));
}

QCoro::Task<QString> OnlineAIClient::translate(QString text, TargetLanguage target,
                                               CancelToken token) {
    co_return co_await performChat(twoMessages(translateInstruction(target), std::move(text)),
                                   std::move(token));
}

QCoro::Task<QString> OnlineAIClient::reformulate(QString text, CancelToken token) {
    co_return co_await performChat(twoMessages(reformulateInstruction(), std::move(text)),
                                   std::move(token));
}

} // namespace ovra
