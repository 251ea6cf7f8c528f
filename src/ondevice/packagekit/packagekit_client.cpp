#include "ondevice/packagekit/packagekit_client.h"

#include "ondevice/packagekit/packagekit_transaction.h"
#include "support/logging.h"

#include <QDBusMessage>
#include <qcoro/qcorodbuspendingcall.h>

OVRA_LOGGING_CATEGORY("ovra.ondevice");

namespace ovra {

namespace {

const QString packageKitName = QStringLiteral("org.freedesktop.PackageKit");

// PkFilterEnum bits: not installed, newest version only, native architecture.
constexpr quint64 resolveFilter = (1ULL << 3) | (1ULL << 16) | (1ULL << 18);
// PkTransactionFlagEnum: only trusted (signed) packages.
constexpr quint64 onlyTrusted = 1ULL << 1;

QCoro::Task<QVariant> busCall(QDBusConnection bus, QString method, QVariantList arguments) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), method);
    call.setArguments(arguments);
    const QDBusMessage reply = co_await bus.asyncCall(call);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        co_return QVariant();
    co_return reply.arguments().constFirst();
}

QString packageName(const QString& packageId) {
    return packageId.section(QLatin1Char(';'), 0, 0);
}

} // namespace

PackageKitClient::PackageKitClient(QDBusConnection bus) : m_bus(std::move(bus)) {}

QCoro::Task<bool> PackageKitClient::isPresent(CancelToken token) {
    token.throwIfCancelled();
    if (!m_bus.isConnected())
        co_return false;
    QVariantList nameArgument;
    nameArgument.append(packageKitName);
    const QVariant owned = co_await busCall(m_bus, QStringLiteral("NameHasOwner"), nameArgument);
    token.throwIfCancelled();
    if (owned.toBool())
        co_return true;
    const QVariant activatable =
        co_await busCall(m_bus, QStringLiteral("ListActivatableNames"), QVariantList());
    token.throwIfCancelled();
    co_return activatable.toStringList().contains(packageKitName);
}

QCoro::Task<void> PackageKitClient::install(QStringList packageNames, CancelToken token) {
    token.throwIfCancelled();
    if (packageNames.isEmpty())
        co_return;
    const bool present = co_await isPresent(token);
    if (!present)
        throw PackageInstallError(PackageInstaller::absentMessage());

    auto resolve = co_await PackageKitTransaction::create(m_bus);
    QVariantList resolveArguments;
    resolveArguments << QVariant::fromValue(resolveFilter) << QVariant(packageNames);
    const uint resolved = co_await resolve->run(QStringLiteral("Resolve"), resolveArguments, token);
    QStringList ids;
    for (const QString& id : resolve->packageIds())
        if (packageNames.contains(packageName(id)))
            ids.append(id);
    if (resolved != PackageKitTransaction::exitSuccess || ids.isEmpty()) {
        qCWarning(lc) << "PackageKit found no language pack: exit" << resolved << "packages"
                      << ids.size() << "of" << packageNames.size();
        throw PackageInstallError(
            QStringLiteral("O pacote de idioma não foi encontrado nos repositórios do sistema."));
    }

    auto installation = co_await PackageKitTransaction::create(m_bus);
    QVariantList installArguments;
    installArguments << QVariant::fromValue(onlyTrusted) << QVariant(ids);
    const uint exit =
        co_await installation->run(QStringLiteral("InstallPackages"), installArguments, token);
    if (exit == PackageKitTransaction::exitSuccess)
        co_return;
    // The user closed the authorization dialog or stopped the download: nothing to report.
    if (exit == PackageKitTransaction::exitCancelled)
        throw CancelledError();
    qCWarning(lc) << "PackageKit did not install the language pack: exit" << exit;
    throw PackageInstallError(
        QStringLiteral("Não foi possível instalar o pacote de idioma. Tente de novo."));
}

} // namespace ovra
