#include "platform/desktop_fixture.h"
#include "platform/linux/session/atspi_accessibility_thread.h"

#include <QGuiApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Like the program, this process is an X11 client, of the session's XWayland on Wayland.
    if (ovra::e2e::onWayland())
        qputenv("QT_QPA_PLATFORM", "xcb");
    // The platform layer needs a GUI application (clipboard, screens, focus); its session comes
    // from run-headless.sh or run-wayland.sh.
    const auto app =
        ovra::platform::AtspiAccessibilityThread::makeUiApplication<QGuiApplication>(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    ovra::e2e::releaseDesktop();
    return result;
}
