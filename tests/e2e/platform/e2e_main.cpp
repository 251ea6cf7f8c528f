#include <QGuiApplication>
#include <gtest/gtest.h>

namespace ovra::e2e {
void releaseDesktop();
}

int main(int argc, char** argv) {
    // The platform layer needs a GUI application (clipboard, screens, focus); its X11 session
    // comes from run-headless.sh.
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    ovra::e2e::releaseDesktop();
    return result;
}
