#pragma once

#include "ondevice/packagekit/packagekit_installer.h"

#include <QDBusConnection>

namespace ovra {

// PackageKit over D-Bus: each step is one transaction (Resolve, then InstallPackages), marked
// interactive so the desktop shows its own authorization dialog.
class PackageKitClient final : public PackageInstaller {
public:
    explicit PackageKitClient(QDBusConnection bus = QDBusConnection::systemBus());

    QCoro::Task<bool> isPresent(CancelToken token) override;
    QCoro::Task<void> install(QStringList packageNames, CancelToken token) override;

private:
    QDBusConnection m_bus;
};

} // namespace ovra
