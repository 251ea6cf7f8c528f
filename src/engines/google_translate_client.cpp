#include "engines/google_translate_client.h"

#include "engines/response_decoding.h"
#include "ovra/deployment_config.h"
#include "settings/key_store.h"

#include <algorithm>

namespace ovra {

namespace {
QString httpDescription(int status, const std::optional<QString>& message) {
    if (message && !message->isEmpty())
        return QStringLiteral("Google Tradutor respondeu ") + QString::number(status) + u": " +
               *message;
    return QStringLiteral("Google Tradutor respondeu com erro ") + QString::number(status) + u'.';
}

QString invalidKeyText() {
    return QStringLiteral("Chave inválida. Confira a chave colada.");
}

void appendReasons(const nlohmann::json* items, QStringList& reasons) {
    if (!items)
        return;
    for (const auto& item : *items) {
        if (auto reason = ResponseDecoding::optionalString(item, "reason"))
            reasons << *reason;
    }
}
} // namespace

GoogleTranslateError::GoogleTranslateError(Kind kind, QString description, int status,
                                           std::optional<QString> message)
    : Error(std::move(description)), m_kind(kind), m_status(status), m_message(std::move(message)) {
}

GoogleTranslateError GoogleTranslateError::http(int status, std::optional<QString> message) {
    QString description = httpDescription(status, message);
    return GoogleTranslateError(Kind::http, std::move(description), status, std::move(message));
}
GoogleTranslateError GoogleTranslateError::explained(QString text) {
    return GoogleTranslateError(Kind::explained, std::move(text));
}
GoogleTranslateError GoogleTranslateError::notConfigured() {
    return GoogleTranslateError(
        Kind::notConfigured, QStringLiteral("Google Tradutor não configurado (sem chave de API)."));
}
GoogleTranslateError GoogleTranslateError::emptyResponse() {
    return GoogleTranslateError(Kind::emptyResponse,
                                QStringLiteral("O Google Tradutor devolveu uma resposta vazia."));
}
GoogleTranslateError GoogleTranslateError::invalidResponse() {
    return GoogleTranslateError(Kind::invalidResponse,
                                QStringLiteral("Resposta inesperada do Google Tradutor."));
}

QStringList GoogleTranslateClient::APIError::allReasons() const {
    QStringList reasons;
    if (status)
        reasons << *status;
    reasons << errorReasons << detailReasons;
    return reasons;
}

QUrl GoogleTranslateClient::defaultBaseUrl() {
    QUrl url;
    url.setScheme(QStringLiteral("https"));
    url.setHost(QString::fromUtf8(deployment::googleTranslateHost));
    return url;
}

GoogleTranslateClient::GoogleTranslateClient(KeyStore& keys, HttpClient& http, QUrl baseUrl)
    : m_keys(keys), m_http(http), m_baseUrl(std::move(baseUrl)) {}

std::optional<QString> GoogleTranslateClient::resolvedAPIKey(KeyStore& keys) {
    auto key = keys.resolvedGoogleKey();
    if (!key || key->isEmpty())
        return std::nullopt;
    return key;
}

QUrl GoogleTranslateClient::requestUrl() const {
    QUrl url = m_baseUrl;
    QString path = url.path();
    while (path.endsWith(u'/'))
        path.chop(1);
    url.setPath(path + u"/language/translate/v2");
    return url;
}

std::optional<GoogleTranslateClient::APIError>
GoogleTranslateClient::decodeError(const QByteArray& body) {
    try {
        const nlohmann::json root = ResponseDecoding::parse(body);
        const nlohmann::json& error = ResponseDecoding::requiredObject(root, "error");
        APIError decoded;
        decoded.message = ResponseDecoding::optionalString(error, "message");
        decoded.status = ResponseDecoding::optionalString(error, "status");
        appendReasons(ResponseDecoding::optionalArray(error, "errors"), decoded.errorReasons);
        appendReasons(ResponseDecoding::optionalArray(error, "details"), decoded.detailReasons);
        return decoded;
    } catch (const ResponseDecodingError&) {
        return std::nullopt;
    }
}

QStringList GoogleTranslateClient::decodeTranslations(const nlohmann::json& root) {
    const nlohmann::json& translations = ResponseDecoding::requiredArray(
        ResponseDecoding::requiredObject(root, "data"), "translations");
    QStringList texts;
    for (const auto& translation : translations) {
        texts << ResponseDecoding::requiredString(translation, "translatedText");
        (void)ResponseDecoding::optionalString(translation, "detectedSourceLanguage");
    }
    return texts;
}

std::optional<QString> GoogleTranslateClient::friendlyExplanation(const APIError& error) {
    const QString search = error.allReasons().join(u' ').toLower() + u' ' +
                           error.message.value_or(QString()).toLower();
    const auto has = [&search](const char16_t* needle) {
        return search.contains(QStringView(needle));
    };
    if (has(u"api_key_service_blocked") || has(u"are blocked"))
        return QStringLiteral("A chave está bloqueada para tradução. Verifique as restrições da "
                              "chave no Google Cloud.");
    if (has(u"service_disabled") || has(u"has not been used in project"))
        return QStringLiteral("A Cloud Translation API não está ativada no projeto da chave.");
    if (has(u"billing"))
        return QStringLiteral("O faturamento não está ativo no projeto da chave.");
    if (has(u"api_key_invalid") || has(u"api key not valid"))
        return invalidKeyText();
    return std::nullopt;
}

QCoro::Task<QString> GoogleTranslateClient::translate(QString text, TargetLanguage target,
                                                      CancelToken token) {
    const std::optional<QString> key = resolvedAPIKey(m_keys);
    if (!key)
        throw GoogleTranslateError::notConfigured();
    // A header line cannot hold a line break or a non-ASCII character; no real key has one, and
    // a pasted one that does must not add lines of its own to the request.
    if (std::any_of(key->cbegin(), key->cend(),
                    [](QChar c) { return c.unicode() < 0x21 || c.unicode() > 0x7e; }))
        throw GoogleTranslateError::explained(invalidKeyText());

    HttpClient::Request request;
    request.url = requestUrl();
    if (!HttpClient::isSendable(request.url))
        throw GoogleTranslateError::invalidResponse();
    // The key travels in a header: a URL ends up in logs, proxies and error texts, a header not.
    request.headers = {{QByteArrayLiteral("Content-Type"), QByteArrayLiteral("application/json")},
                       {QByteArrayLiteral("X-goog-api-key"), key->toUtf8()}};
    request.body = encodeRequestBody(nlohmann::ordered_json{
        {"q", text.toStdString()}, {"target", target.code.toStdString()}, {"format", "text"}});

    HttpResponse response;
    try {
        response = co_await m_http.post(std::move(request), token);
    } catch (const HttpTransportError& error) {
        if (error.kind() != HttpTransportError::Kind::unexpectedResponse)
            throw;
        throw GoogleTranslateError::invalidResponse();
    }

    if (response.status < 200 || response.status > 299) {
        const std::optional<APIError> error = decodeError(response.body);
        if (error) {
            if (auto explanation = friendlyExplanation(*error))
                throw GoogleTranslateError::explained(*explanation);
        }
        throw GoogleTranslateError::http(
            response.status, withSecretMasked(error ? error->message : std::nullopt, *key));
    }

    // A large answer is parsed on a worker thread.
    const nlohmann::json root = co_await ResponseDecoding::parseOffThread(std::move(response.body));
    const QStringList texts = decodeTranslations(root);
    if (texts.isEmpty())
        throw GoogleTranslateError::emptyResponse();
    const QString result = texts.first().trimmed();
    if (result.isEmpty())
        throw GoogleTranslateError::emptyResponse();
    co_return result;
}

} // namespace ovra
