#include "fakes/fake_package_installer.h"

namespace ovra::test {

QCoro::Task<bool> FakePackageInstaller::isPresent(CancelToken token) {
    token.throwIfCancelled();
    co_return present;
}

QCoro::Task<void> FakePackageInstaller::install(QStringList packageNames, CancelToken token) {
    token.throwIfCancelled();
    installs.append(packageNames);
    if (!present)
        throw PackageInstallError(absentMessage());
    if (failure)
        std::rethrow_exception(failure);
    if (onInstall)
        onInstall(packageNames);
    co_return;
}

} // namespace ovra::test
