#pragma once

#include "support/e2e_session.h"

#include "platform/accessibility_services.h"
#include "platform/linux/session/linux_platform.h"

#include <gtest/gtest.h>

namespace ovra::e2e {

// "naïve": 11 keystrokes in (the emoji is one), 12 UTF-16 units in, 5 long.
inline constexpr int wordKeystrokesIn = 11;
inline constexpr int wordLength = 5;

// The platform under test and the target applications, shared by every test of the run (starting
// an application costs about a second); releaseDesktop() ends them.
platform::LinuxPlatform& desktop();
// The AT-SPI services over desktop()'s window system, in logical pixels, called on the test's
// thread (the program calls them on its accessibility thread only).
AccessibilityServices& desktopAccessibility();
TargetApp& sharedTarget(TargetApp::Kind kind);
inline TargetApp& gtkTarget() {
    return sharedTarget(TargetApp::Kind::Gtk);
}
inline TargetApp& qtTarget() {
    return sharedTarget(TargetApp::Kind::Qt);
}
void releaseDesktop();

// Presses Shift+F12, which nothing else sends, and waits for its release among the events `seen`
// (from a monitor of key releases): the events before it have arrived.
bool sendMarkerAndWait(QList<InputEvent>& seen);

// Moves to the start of the focused text and selects `count` characters after `skip`.
bool selectByKeys(int skip, int count);

// The focused text element of `app`, once its selection reads `selection`; null when it never
// does within the time allowed.
AccessibleElement waitForSelection(TargetApp& app, const QString& selection);

} // namespace ovra::e2e
