#pragma once

#include <QString>

namespace ovra {

// Which engine produced a result.
enum class EngineKind { google, online, onDevice };

// The router's answer to one action.
struct EngineOutcome {
    QString text;
    EngineKind engine = EngineKind::onDevice;
    // An online engine was tried first, failed, and the device produced `text`.
    bool usedFallback = false;

    bool operator==(const EngineOutcome&) const = default;
};

// The text actions besides reformulation.
enum class AIActionKind { review, summarize };

} // namespace ovra
