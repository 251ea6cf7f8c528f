#include "fakes/fake_hotkey_service.h"

namespace ovra::test {

bool FakeHotKeyService::registerHotKey(QKeyCombination keys, std::function<void()> onPressed) {
    if (held || refuseNext) {
        refuseNext = false;
        return false;
    }
    held = keys;
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
