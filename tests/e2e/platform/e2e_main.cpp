#include "platform/desktop_fixture.h"
#include "platform/linux/session/atspi_accessibility_thread.h"

#include <QGuiApplication>
#include <gtest/gtest.h>
#include <memory>

namespace {

// The platform layer needs a GUI application (clipboard, screens, focus); its session comes from
// run-headless.sh or run-wayland.sh.
std::unique_ptr<QGuiApplication> makeApplication(int& argc, char** argv) {
#ifdef OVRA_E2E_GLIB_UI_LOOP
    // A UI thread that runs GLib's default context, which the program's no longer does: the
    // accessibility thread must not depend on that.
    return std::make_unique<QGuiApplication>(argc, argv);
#else
    return ovra::platform::AtspiAccessibilityThread::makeUiApplication<QGuiApplication>(argc, argv);
#endif
}

} // namespace

int main(int argc, char** argv) {
    // Like the program, this process is an X11 client, of the session's XWayland on Wayland.
    if (ovra::e2e::onWayland())
        qputenv("QT_QPA_PLATFORM", "xcb");
    const auto app = makeApplication(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    ovra::e2e::releaseDesktop();
    return result;
}
