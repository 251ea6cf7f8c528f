#pragma once

#include "platform/accessibility_switch.h"
#include "platform/clipboard_services.h"
#include "platform/input_monitors.h"
#include "platform/screen_services.h"
#include "platform/synthetic_keys.h"
#include "platform/workspace_services.h"

namespace ovra {

// The platform services that selection capture and write-back use, handed around together.
// The referenced services must outlive every object built over this bundle.
struct CapturePlatform {
    AccessibilitySwitch& accessSwitch;
    InputMonitors& input;
    SyntheticKeys& keys;
    ClipboardServices& clipboard;
    WorkspaceServices& workspace;
    ScreenServices& screens;
};

} // namespace ovra
