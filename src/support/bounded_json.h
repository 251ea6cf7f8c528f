#pragma once

#include <QByteArray>
#include <nlohmann/json.hpp>

namespace ovra::BoundedJson {

// Deeper nesting than any answer or settings file of ours needs. The recursive parts of the
// JSON library (destruction, dumping, comparison) would otherwise overflow the stack on input
// from outside, and a deep document costs far more memory than its size suggests.
inline constexpr int maxDepth = 128;

// The parsed value, or a discarded value (is_discarded()) when the text is not JSON or nests
// deeper than maxDepth. Parsing stops at the first level too deep.
nlohmann::json parse(const char* begin, const char* end);
nlohmann::json parse(const QByteArray& text);

} // namespace ovra::BoundedJson
