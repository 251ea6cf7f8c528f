#include "ovra/deployment_config.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ovra"));
    QApplication::setDesktopFileName(QLatin1String(ovra::deployment::appId));
    QApplication::setApplicationVersion(QLatin1String(ovra::deployment::appVersion));
    QApplication::setQuitOnLastWindowClosed(false);
    return QApplication::exec();
}
