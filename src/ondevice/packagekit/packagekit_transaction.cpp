#include "ondevice/packagekit/packagekit_transaction.h"

#include "ondevice/packagekit/packagekit_installer.h"
#include "support/logging.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <qcoro/qcorodbuspendingcall.h>

OVRA_LOGGING_CATEGORY("ovra.ondevice");

namespace ovra {

namespace {

const QString service = QStringLiteral("org.freedesktop.PackageKit");
const QString transactionInterface = QStringLiteral("org.freedesktop.PackageKit.Transaction");

QString failureText() {
    return QStringLiteral("Não foi possível instalar o pacote de idioma. Tente de novo.");
}

} // namespace

PackageKitTransaction::PackageKitTransaction(QDBusConnection bus, QDBusObjectPath path)
    : m_bus(std::move(bus)), m_path(std::move(path)) {
    const QString objectPath = m_path.path();
    // The signals object is a member: its connections end with this transaction.
    QObject::connect(&m_signals, &PackageKitSignals::packageReported, &m_signals,
                     [this](const QString& packageId) {
                         if (!m_packageIds.contains(packageId))
                             m_packageIds.append(packageId);
                     });
    QObject::connect(&m_signals, &PackageKitSignals::transactionFinished, &m_signals,
                     [finished = m_finished](uint exit) { finished->resolve(exit); });
    m_bus.connect(service, objectPath, transactionInterface, QStringLiteral("Package"), &m_signals,
                  SLOT(package(uint, QString, QString)));
    m_bus.connect(service, objectPath, transactionInterface, QStringLiteral("Finished"), &m_signals,
                  SLOT(finished(uint, uint)));
}

QCoro::Task<std::unique_ptr<PackageKitTransaction>>
PackageKitTransaction::create(QDBusConnection bus) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/PackageKit"),
                                       service, QStringLiteral("CreateTransaction"));
    const QDBusMessage reply = co_await bus.asyncCall(call);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        qCWarning(lc) << "PackageKit gave no transaction:" << reply.errorName();
        throw PackageInstallError(PackageInstaller::absentMessage());
    }
    const auto path = qvariant_cast<QDBusObjectPath>(reply.arguments().constFirst());
    if (path.path().isEmpty())
        throw PackageInstallError(failureText());
    co_return std::unique_ptr<PackageKitTransaction>(new PackageKitTransaction(bus, path));
}

QCoro::Task<uint> PackageKitTransaction::run(QString method, QVariantList arguments,
                                             CancelToken token) {
    token.throwIfCancelled();
    const QString objectPath = m_path.path();
    // Lets PackageKit ask the user for authorization through the desktop's agent.
    QDBusMessage hints = QDBusMessage::createMethodCall(service, objectPath, transactionInterface,
                                                        QStringLiteral("SetHints"));
    hints.setArguments({QStringList{QStringLiteral("interactive=true")}});
    co_await m_bus.asyncCall(hints);

    QDBusMessage call =
        QDBusMessage::createMethodCall(service, objectPath, transactionInterface, method);
    call.setArguments(arguments);
    const QDBusMessage reply = co_await m_bus.asyncCall(call);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        qCWarning(lc) << "PackageKit refused" << method << reply.errorName();
        throw PackageInstallError(failureText());
    }

    QDBusConnection bus = m_bus;
    const auto finished = m_finished;
    // Asks PackageKit to stop, and ends the wait at once: a daemon that went away would never
    // report Finished.
    auto subscription = token.onCancel([bus, objectPath, finished]() mutable {
        bus.asyncCall(QDBusMessage::createMethodCall(service, objectPath, transactionInterface,
                                                     QStringLiteral("Cancel")));
        finished->fail(std::make_exception_ptr(CancelledError()));
    });
    const uint exit = co_await finished->wait();
    if (token.isCancelled())
        throw CancelledError();
    co_return exit;
}

} // namespace ovra
