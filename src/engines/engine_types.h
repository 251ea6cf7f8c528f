#pragma once

#include <QString>
#include <functional>

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

// Receives an answer as it is written: the whole text so far, each time it grows. Called on the
// main thread, from inside the network's reading; it must not throw.
using TextProgress = std::function<void(const QString& textSoFar)>;

// The text actions besides reformulation.
enum class AIActionKind { review, summarize };

} // namespace ovra
