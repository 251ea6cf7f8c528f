#include "engines/response_decoding.h"

#include "support/bounded_json.h"

#include <QUrl>
#include <QtConcurrent/QtConcurrentRun>
#include <qcoro/qcorofuture.h>

namespace ovra {

ResponseDecodingError::ResponseDecodingError()
    : Error(QStringLiteral("O serviço devolveu uma resposta em formato inesperado.")) {}

namespace ResponseDecoding {

namespace {
nlohmann::json parseCopy(QByteArray body) {
    return BoundedJson::parse(body);
}
} // namespace

nlohmann::json parse(const QByteArray& body) {
    nlohmann::json value = BoundedJson::parse(body);
    if (value.is_discarded())
        throw ResponseDecodingError();
    return value;
}

QCoro::Task<nlohmann::json> parseOffThread(QByteArray body) {
    if (body.size() <= inlineParseBytes)
        co_return parse(body);
    // Built apart from the await, from a plain function: g++ 12 mis-compiles captures and
    // temporaries inside an await expression.
    QFuture<nlohmann::json> parsing = QtConcurrent::run(parseCopy, body);
    nlohmann::json value = co_await parsing;
    if (value.is_discarded())
        throw ResponseDecodingError();
    co_return value;
}

void requireObject(const nlohmann::json& value) {
    if (!value.is_object())
        throw ResponseDecodingError();
}

const nlohmann::json& requiredObject(const nlohmann::json& parent, const char* key) {
    requireObject(parent);
    const auto it = parent.find(key);
    if (it == parent.end() || !it->is_object())
        throw ResponseDecodingError();
    return *it;
}

const nlohmann::json& requiredArray(const nlohmann::json& parent, const char* key) {
    requireObject(parent);
    const auto it = parent.find(key);
    if (it == parent.end() || !it->is_array())
        throw ResponseDecodingError();
    return *it;
}

QString requiredString(const nlohmann::json& parent, const char* key) {
    requireObject(parent);
    const auto it = parent.find(key);
    if (it == parent.end() || !it->is_string())
        throw ResponseDecodingError();
    return QString::fromStdString(it->get_ref<const std::string&>());
}

std::optional<QString> optionalString(const nlohmann::json& parent, const char* key) {
    requireObject(parent);
    const auto it = parent.find(key);
    if (it == parent.end() || it->is_null())
        return std::nullopt;
    if (!it->is_string())
        throw ResponseDecodingError();
    return QString::fromStdString(it->get_ref<const std::string&>());
}

const nlohmann::json* optionalArray(const nlohmann::json& parent, const char* key) {
    requireObject(parent);
    const auto it = parent.find(key);
    if (it == parent.end() || it->is_null())
        return nullptr;
    if (!it->is_array())
        throw ResponseDecodingError();
    return &*it;
}

} // namespace ResponseDecoding

std::optional<QString> withSecretMasked(std::optional<QString> message, const QString& secret) {
    if (!message || secret.isEmpty())
        return message;
    const QString mask = QStringLiteral("•••");
    message->replace(secret, mask);
    const QString encoded = QString::fromLatin1(QUrl::toPercentEncoding(secret));
    if (encoded != secret)
        message->replace(encoded, mask);
    return message;
}

QByteArray encodeRequestBody(const nlohmann::ordered_json& body) {
    const std::string text =
        body.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace ovra
