#pragma once

#include "engines/one_shot.h"
#include "ondevice/packagekit/packagekit_signals.h"
#include "support/cancellation.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QStringList>
#include <memory>
#include <qcoro/qcorotask.h>

namespace ovra {

// One PackageKit transaction: listens to its signals from before the call until Finished.
class PackageKitTransaction {
public:
    // PackageKit's exit codes (PkExitEnum).
    enum Exit : uint { exitSuccess = 1, exitFailed = 2, exitCancelled = 3 };

    // Asks PackageKit for a new transaction; throws PackageInstallError when it cannot.
    static QCoro::Task<std::unique_ptr<PackageKitTransaction>> create(QDBusConnection bus);

    // Calls `method` with `arguments` and waits for Finished; gives the exit code. A cancelled
    // token cancels the transaction and throws CancelledError.
    QCoro::Task<uint> run(QString method, QVariantList arguments, CancelToken token);

    // Package ids reported by Package signals so far.
    const QStringList& packageIds() const { return m_packageIds; }

private:
    PackageKitTransaction(QDBusConnection bus, QDBusObjectPath path);

    QDBusConnection m_bus;
    QDBusObjectPath m_path;
    PackageKitSignals m_signals;
    QStringList m_packageIds;
    std::shared_ptr<OneShot<uint>> m_finished = OneShot<uint>::make();
};

} // namespace ovra
