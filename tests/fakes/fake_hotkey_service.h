#pragma once

#include "platform/hot_key_service.h"

#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace ovra::test {

// A hot-key facility that records what is grabbed and lets a test press the combination.
class FakeHotKeyService final : public HotKeyService {
public:
    bool registerHotKey(QKeyCombination keys, std::function<void()> onPressed) override {
        if (std::exchange(refuseNext, false) || held)
            return false;
        held = keys;
        registrations.push_back(keys);
        callback = std::move(onPressed);
        return true;
    }
    void unregisterHotKey() override {
        ++unregisterCount;
        held.reset();
    }

    // Simulates a press of the held combination; false when nothing is held.
    bool press() {
        if (held && callback)
            callback();
        return held && callback;
    }

    std::optional<QKeyCombination> held;
    bool refuseNext = false;                    // the desktop refuses the next registration
    std::vector<QKeyCombination> registrations; // every successful registration, in order
    int unregisterCount = 0;
    std::function<void()> callback; // kept even after unregistering, to test stale presses
};

} // namespace ovra::test
