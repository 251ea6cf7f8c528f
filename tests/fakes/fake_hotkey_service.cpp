#include "fakes/fake_hotkey_service.h"

namespace ovra::test {

bool FakeHotKeyService::registerHotKey(quint32 keyCode, quint32 carbonModifiers,
                                       std::function<void()> onPressed) {
    if (held || refuseNext) {
        refuseNext = false;
        return false;
    }
    held = Combination{keyCode, carbonModifiers};
    registrations.push_back(*held);
    callback = std::move(onPressed);
    return true;
}

void FakeHotKeyService::unregisterHotKey() {
    ++unregisterCount;
    held.reset();
}

bool FakeHotKeyService::press() {
    if (!held || !callback)
        return false;
    callback();
    return true;
}

} // namespace ovra::test
