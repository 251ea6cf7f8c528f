#pragma once

#include "platform/input_monitors.h"
#include "platform/synthetic_keys.h"

#include <QList>
#include <map>

namespace ovra::test {

// Input monitors into which a test injects events; a monitor may be set to be refused.
class FakeInputMonitors final : public InputMonitors {
public:
    int refuseNextInstalls = 0; // this many next installs are refused

    // Delivers `event` to every global (or local) monitor watching its type.
    void injectGlobal(const InputEvent& event) { deliver(m_global, event); }
    void injectLocal(const InputEvent& event) { deliver(m_local, event); }
    std::size_t installedCount() const { return m_global.size() + m_local.size(); }

    Subscription addGlobalMonitor(InputEventTypes types, Handler handler) override;
    Subscription addLocalMonitor(InputEventTypes types, Handler handler) override;

private:
    struct Monitor {
        InputEventTypes types;
        Handler handler;
    };
    using Monitors = std::map<std::uint64_t, Monitor>;
    Subscription install(Monitors& into, InputEventTypes types, Handler handler);
    static void deliver(const Monitors& monitors, const InputEvent& event);

    Monitors m_global;
    Monitors m_local;
    std::uint64_t m_nextId = 1;
};

// Records the keystrokes sent; a test decides how the target answers.
class FakeSyntheticKeys final : public SyntheticKeys {
public:
    QList<qint32> copiesPosted;
    QList<qint32> pastesPosted;
    std::function<void(qint32)> onCopy;
    bool takesKeys = true;           // false: the target takes no copy or paste keystroke
    bool reachesApplications = true; // false: no keystroke reaches any application

    bool canSendKeys() override { return reachesApplications; }
    bool postCopyCommand(qint32 pid) override;
    bool postPasteCommand(qint32 pid) override {
        if (!takesKeys)
            return false;
        pastesPosted.append(pid);
        return true;
    }
};

// Key and mouse events the way the platform reports them.
namespace Events {
inline InputEvent mouseDown() {
    return {.type = InputEventType::LeftMouseDown};
}
inline InputEvent mouseUp() {
    return {.type = InputEventType::LeftMouseUp};
}
inline InputEvent keyDown(int keyCode, Modifiers modifiers = {}, QString characters = {}) {
    return {InputEventType::KeyDown, modifiers, keyCode, std::move(characters)};
}
inline InputEvent keyUp(int keyCode, Modifiers modifiers = {}, QString characters = {}) {
    return {InputEventType::KeyUp, modifiers, keyCode, std::move(characters)};
}
// A modifier key itself; `held` are the modifiers down before the event, as the platform reports.
inline InputEvent modifierDown(Modifiers held = {}) {
    return {.type = InputEventType::KeyDown, .modifiers = held, .isModifierKey = true};
}
inline InputEvent modifierUp(Modifiers held) {
    return {.type = InputEventType::KeyUp, .modifiers = held, .isModifierKey = true};
}
// Application `pid` reported a changed selection.
inline InputEvent selectionChanged(qint32 pid) {
    return {.type = InputEventType::SelectionChanged, .pid = pid};
}
// The gesture behind application `pid`'s reported change has ended.
inline InputEvent selectionSettled(qint32 pid) {
    return {.type = InputEventType::SelectionSettled, .pid = pid};
}
} // namespace Events

} // namespace ovra::test
