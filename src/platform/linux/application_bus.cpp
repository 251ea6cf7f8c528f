#include "platform/linux/application_bus.h"

#include "ovra/deployment_config.h"
#include "support/logging.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QTimer>

OVRA_LOGGING_CATEGORY("ovra.platform.bus");

namespace ovra::platform {

namespace {

constexpr int callTimeoutMs = 5000;

QString interfaceName() {
    return QStringLiteral("org.freedesktop.Application");
}

} // namespace

QString ApplicationBus::serviceName() {
    return QLatin1String(deployment::appId);
}

QString ApplicationBus::objectPath() {
    // The object path the freedesktop.org rules derive from the bus name.
    return u'/' + serviceName().replace(u'.', u'/').replace(u'-', u'_');
}

const QStringList& ApplicationBus::actionNames() {
    static const QStringList names{QStringLiteral("capture"), QStringLiteral("preferences"),
                                   QStringLiteral("engines"), QStringLiteral("quit")};
    return names;
}

ApplicationBus::ApplicationBus(QStringList moreActions, QObject* parent)
    : QObject(parent), m_moreActions(std::move(moreActions)) {}

ApplicationBus::~ApplicationBus() {
    if (!m_exported)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterObject(objectPath());
    bus.unregisterService(serviceName());
}

ApplicationBus::Claim ApplicationBus::claim() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()) {
        qCInfo(lc) << "no session bus; running without the single-instance check";
        return Claim::noBus;
    }
    if (!bus.registerObject(objectPath(), this, QDBusConnection::ExportAllSlots)) {
        qCWarning(lc) << "could not export" << objectPath();
        return Claim::noBus;
    }
    const auto reply =
        bus.interface()->registerService(serviceName(), QDBusConnectionInterface::DontQueueService,
                                         QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        bus.unregisterObject(objectPath());
        qCInfo(lc) << "bus name" << serviceName() << "is held by a running instance";
        return Claim::heldByAnother;
    }
    m_exported = true;
    qCInfo(lc) << "owns bus name" << serviceName();
    return Claim::owned;
}

void ApplicationBus::Activate(const QVariantMap&) {
    run(QString());
}

void ApplicationBus::ActivateAction(const QString& action, const QVariantList&,
                                    const QVariantMap&) {
    if (!actionNames().contains(action) && !m_moreActions.contains(action)) {
        sendErrorReply(QDBusError::InvalidArgs, QStringLiteral("no such action: ") + action);
        return;
    }
    run(action);
}

void ApplicationBus::Open(const QStringList&, const QVariantMap&) {
    // Ovra opens no files; opening anything brings it forward as a plain start does.
    run(QString());
}

void ApplicationBus::run(const QString& action) {
    qCInfo(lc) << "bus request:" << (action.isEmpty() ? QStringLiteral("activate") : action);
    // After the reply has gone out: "quit" must not end the process under its own answer.
    QTimer::singleShot(0, this, [this, action] { Q_EMIT actionRequested(action); });
}

void requestFromRunningInstance(const QString& action, std::function<void(bool answered)> done) {
    QDBusMessage message =
        action.isEmpty()
            ? QDBusMessage::createMethodCall(ApplicationBus::serviceName(),
                                             ApplicationBus::objectPath(), interfaceName(),
                                             QStringLiteral("Activate"))
            : QDBusMessage::createMethodCall(ApplicationBus::serviceName(),
                                             ApplicationBus::objectPath(), interfaceName(),
                                             QStringLiteral("ActivateAction"));
    if (action.isEmpty())
        message << QVariantMap();
    else
        message << action << QVariantList() << QVariantMap();
    auto* watcher = new QDBusPendingCallWatcher(
        QDBusConnection::sessionBus().asyncCall(message, callTimeoutMs));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [done = std::move(done)](QDBusPendingCallWatcher* call) {
                         call->deleteLater();
                         if (call->isError())
                             qCWarning(lc)
                                 << "running instance did not answer:" << call->error().name();
                         done(!call->isError());
                     });
}

} // namespace ovra::platform
