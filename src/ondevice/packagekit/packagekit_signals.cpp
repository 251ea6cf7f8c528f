#include "ondevice/packagekit/packagekit_signals.h"

namespace ovra {

void PackageKitSignals::package(uint, const QString& packageId, const QString&) {
    if (onPackage)
        onPackage(packageId);
}

void PackageKitSignals::finished(uint exit, uint) {
    if (onFinished)
        onFinished(exit);
}

} // namespace ovra
