#pragma once

#include "platform/synthetic_keys.h"

namespace ovra::platform {

// Keystrokes for a Wayland session: XTest reaches only XWayland's windows, and a keystroke meant
// for the application in front could land in another one. Nothing is ever sent, so the copy and
// paste fallbacks step aside and the accessibility bus is the only way in and out.
class NoSyntheticKeys final : public SyntheticKeys {
public:
    bool canSendKeys() override { return false; }
    bool postCopyCommand(qint32) override { return false; }
    bool postPasteCommand(qint32) override { return false; }
};

} // namespace ovra::platform
