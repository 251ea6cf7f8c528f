#pragma once

#include "support/errors.h"

#include <QByteArray>
#include <QString>
#include <nlohmann/json.hpp>
#include <optional>
#include <qcoro/qcorotask.h>

namespace ovra {

// A success answer whose body does not have the documented shape. The parser's own message is
// not shown: it quotes pieces of whatever the server sent.
class ResponseDecodingError : public Error {
public:
    ResponseDecodingError();
};

// Strict reading of answer bodies: required members must be present with the right type,
// optional ones may be absent or null but not of another type. Each throws ResponseDecodingError.
namespace ResponseDecoding {
// Bodies up to this size are parsed where they arrive; larger ones on a worker thread.
inline constexpr qsizetype inlineParseBytes = 64 * 1024;
// Nesting deeper than BoundedJson::maxDepth counts as malformed.
nlohmann::json parse(const QByteArray& body);
// The same, off the calling thread for a large body, so the interface keeps responding.
QCoro::Task<nlohmann::json> parseOffThread(QByteArray body);
const nlohmann::json& requiredObject(const nlohmann::json& parent, const char* key);
const nlohmann::json& requiredArray(const nlohmann::json& parent, const char* key);
QString requiredString(const nlohmann::json& parent, const char* key);
std::optional<QString> optionalString(const nlohmann::json& parent, const char* key);
// An optional array; nothing when absent or null.
const nlohmann::json* optionalArray(const nlohmann::json& parent, const char* key);
void requireObject(const nlohmann::json& value);
} // namespace ResponseDecoding

// `message` with every occurrence of `secret` (as is, and percent-encoded) masked: a server may
// echo the key it was given, and no text shown to the user may carry one.
std::optional<QString> withSecretMasked(std::optional<QString> message, const QString& secret);

// The JSON text of a request body, UTF-8, compact, keys in insertion order.
QByteArray encodeRequestBody(const nlohmann::ordered_json& body);

} // namespace ovra
