#pragma once

#include <QObject>
#include <QString>

namespace ovra {

// Receives one PackageKit transaction's D-Bus signals and passes them on as its own. Kept free
// of coroutine headers, which the meta-object compiler cannot read.
class PackageKitSignals : public QObject {
    Q_OBJECT
Q_SIGNALS:
    void packageReported(const QString& packageId);
    void transactionFinished(uint exit);

public Q_SLOTS:
    void package(uint info, const QString& packageId, const QString& summary);
    void finished(uint exit, uint runtime);
};

} // namespace ovra
