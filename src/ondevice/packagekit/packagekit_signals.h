#pragma once

#include <QObject>
#include <QString>
#include <functional>

namespace ovra {

// Receives one PackageKit transaction's D-Bus signals and passes them on. Kept free of
// coroutine headers, which the meta-object compiler cannot read.
class PackageKitSignals : public QObject {
    Q_OBJECT
public:
    std::function<void(const QString& packageId)> onPackage;
    std::function<void(uint exit)> onFinished;

public Q_SLOTS:
    void package(uint info, const QString& packageId, const QString& summary);
    void finished(uint exit, uint runtime);
};

} // namespace ovra
