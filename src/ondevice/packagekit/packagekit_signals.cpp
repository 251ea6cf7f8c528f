#include "ondevice/packagekit/packagekit_signals.h"

namespace ovra {

void PackageKitSignals::package(uint, const QString& packageId, const QString&) {
    Q_EMIT packageReported(packageId);
}

void PackageKitSignals::finished(uint exit, uint) {
    Q_EMIT transactionFinished(exit);
}

} // namespace ovra
