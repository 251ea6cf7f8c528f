#pragma once

#include "ondevice/packagekit/packagekit_installer.h"

#include <QStringList>
#include <functional>

namespace ovra::test {

// The package service, scripted. Installing a package runs `onInstall` (tests create the mode
// files the package would bring); `present` false behaves like a system without PackageKit.
class FakePackageInstaller final : public PackageInstaller {
public:
    bool present = true;
    std::function<void(const QStringList&)> onInstall;
    QList<QStringList> installs; // every install request, in order

    QCoro::Task<bool> isPresent(CancelToken token) override {
        token.throwIfCancelled();
        co_return present;
    }
    QCoro::Task<void> install(QStringList packageNames, CancelToken token) override {
        token.throwIfCancelled();
        installs.append(packageNames);
        if (!present)
            throw PackageInstallError(absentMessage());
        if (onInstall)
            onInstall(packageNames);
        co_return;
    }
};

} // namespace ovra::test
