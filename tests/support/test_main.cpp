#include <QDir>
#include <QTemporaryDir>
#include <cstdlib>
#include <gtest/gtest.h>

// Tests that link the widgets module need its application object; the others run without one.
#ifdef QT_WIDGETS_LIB
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

int main(int argc, char** argv) {
    // HOME and every XDG folder point into a private temporary folder for the whole run, so no
    // test ever reads or writes the real home. Set before any Qt object exists.
    const QTemporaryDir root;
    const auto set = [&root](const char* name, const char* sub) {
        const QString path = root.path() + QLatin1Char('/') + QLatin1String(sub);
        QDir().mkpath(path);
        ::setenv(name, QFile::encodeName(path).constData(), 1);
    };
    set("HOME", "home");
    set("XDG_CONFIG_HOME", "config");
    set("XDG_DATA_HOME", "data");
    set("XDG_CACHE_HOME", "cache");
    set("XDG_STATE_HOME", "state");
    // Tests pick their language explicitly; the machine's locale must not leak in.
    ::setenv("LANGUAGE", "pt_BR", 1);
    TestApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
