#include "support/bounded_json.h"

namespace ovra::BoundedJson {

namespace {
// Thrown from the parser callback to end parsing at once; the callback sees every opening
// bracket together with its depth.
struct TooDeep {};
} // namespace

nlohmann::json parse(const char* begin, const char* end) {
    const nlohmann::json::parser_callback_t limit =
        [](int depth, nlohmann::json::parse_event_t event, nlohmann::json&) {
            if ((event == nlohmann::json::parse_event_t::object_start ||
                 event == nlohmann::json::parse_event_t::array_start) &&
                depth >= maxDepth)
                throw TooDeep{};
            return true;
        };
    try {
        return nlohmann::json::parse(begin, end, limit, /*allow_exceptions=*/false);
    } catch (const TooDeep&) {
        return nlohmann::json(nlohmann::json::value_t::discarded);
    }
}

nlohmann::json parse(const QByteArray& text) {
    return parse(text.constData(), text.constData() + text.size());
}

} // namespace ovra::BoundedJson
