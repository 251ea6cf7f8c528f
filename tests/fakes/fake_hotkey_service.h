#pragma once

#include "platform/hot_key_service.h"

#include <optional>
#include <vector>

namespace ovra::test {

// A hot-key facility that records what is grabbed and lets a test press the combination.
class FakeHotKeyService final : public HotKeyService {
public:
    struct Combination {
        quint32 keyCode = 0;
        quint32 carbonModifiers = 0;
        bool operator==(const Combination&) const = default;
    };

    bool registerHotKey(quint32 keyCode, quint32 carbonModifiers,
                        std::function<void()> onPressed) override;
    void unregisterHotKey() override;

    // Simulates a press of the held combination; false when nothing is held.
    bool press();

    std::optional<Combination> held;
    bool refuseNext = false;                // the desktop refuses the next registration
    std::vector<Combination> registrations; // every successful registration, in order
    int unregisterCount = 0;
    std::function<void()> callback; // kept even after unregistering, to test stale presses
};

} // namespace ovra::test
