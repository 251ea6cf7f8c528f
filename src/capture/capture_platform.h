#pragma once

#include "capture/accessibility_services.h"
#include "capture/clipboard_services.h"
#include "capture/input_monitors.h"
#include "capture/screen_services.h"
#include "capture/synthetic_keys.h"
#include "capture/workspace_services.h"

namespace ovra {

// The platform services that selection capture and write-back use, handed around together.
// The referenced services must outlive every object built over this bundle.
struct CapturePlatform {
    AccessibilityServices& accessibility;
    InputMonitors& input;
    SyntheticKeys& keys;
    ClipboardServices& clipboard;
    WorkspaceServices& workspace;
    ScreenServices& screens;
};

} // namespace ovra
