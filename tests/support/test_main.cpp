#include "support/isolated_environment.h"

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
    ovra::test::IsolatedEnvironment environment;
    TestApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
