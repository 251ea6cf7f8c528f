#pragma once

#include "engines/http_request.h"
#include "settings/catalogues.h"
#include "support/errors.h"

#include <QString>
#include <QStringList>
#include <QUrl>
#include <nlohmann/json_fwd.hpp>
#include <optional>

namespace ovra {

class KeyStore;

class GoogleTranslateError : public Error {
public:
    enum class Kind { http, explained, notConfigured, emptyResponse, invalidResponse };

    static GoogleTranslateError http(int status, std::optional<QString> message);
    static GoogleTranslateError explained(QString text);
    static GoogleTranslateError notConfigured();
    static GoogleTranslateError emptyResponse();
    static GoogleTranslateError invalidResponse();

    Kind kind() const { return m_kind; }
    int status() const { return m_status; }
    const std::optional<QString>& message() const { return m_message; }

private:
    GoogleTranslateError(Kind kind, QString description, int status = 0,
                         std::optional<QString> message = std::nullopt);
    Kind m_kind;
    int m_status;
    std::optional<QString> m_message;
};

// Translates through the Google Cloud Translation v2 REST service. Stateless apart from where it
// sends its requests; the key is read from the key store at every call.
class GoogleTranslateClient {
public:
    // The decoded "error" object of an error answer.
    struct APIError {
        std::optional<QString> message;
        std::optional<QString> status;
        QStringList errorReasons;  // present `reason`s of `errors`, in order
        QStringList detailReasons; // present `reason`s of `details`, in order

        // `status`, then the reasons of `errors`, then those of `details`.
        QStringList allReasons() const;
    };

    // "https://" + the deployment's Google host.
    static QUrl defaultBaseUrl();

    // `baseUrl` is scheme, host and port (a path prefix is kept); tests pass a loopback server.
    GoogleTranslateClient(KeyStore& keys, HttpClient& http, QUrl baseUrl = defaultBaseUrl());

    // The user's Google key when non-empty, else the built-in one; nothing when both are empty.
    static std::optional<QString> resolvedAPIKey(KeyStore& keys);

    // The translation of `text` into `target`, trimmed. Throws GoogleTranslateError,
    // HttpTransportError, ResponseDecodingError, or CancelledError.
    QCoro::Task<QString> translate(QString text, TargetLanguage target, CancelToken token = {});

    // A plain explanation for well-known causes of refusal, or nothing.
    static std::optional<QString> friendlyExplanation(const APIError& error);
    // Decodes an error body; nothing when it does not have the documented shape.
    static std::optional<APIError> decodeError(const QByteArray& body);
    // The translated texts of a success answer; throws ResponseDecodingError on another shape.
    static QStringList decodeTranslations(const nlohmann::json& root);

    // The translation endpoint under the base URL; it never holds the key.
    QUrl requestUrl() const;

private:
    KeyStore& m_keys;
    HttpClient& m_http;
    QUrl m_baseUrl;
};

} // namespace ovra
