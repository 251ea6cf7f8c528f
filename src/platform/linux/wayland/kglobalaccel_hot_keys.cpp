#include "platform/linux/wayland/kglobalaccel_hot_keys.h"

#include "support/logging.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

OVRA_LOGGING_CATEGORY("ovra.platform.wayland");

namespace ovra::platform {

namespace {

const QString componentInterface = QStringLiteral("org.kde.kglobalaccel.Component");

// The service's flags for setShortcut: these keys are the ones in use, not a default that the
// desktop's stored choice would replace (the program's preferences keep the shortcut).
constexpr uint setPresent = 2;
constexpr uint noAutoloading = 4;

QDBusMessage serviceCall(const QString& method, const QVariantList& arguments) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        KGlobalAccelHotKeys::serviceName(), QStringLiteral("/kglobalaccel"),
        QStringLiteral("org.kde.KGlobalAccel"), method);
    call.setArguments(arguments);
    return call;
}

} // namespace

QString KGlobalAccelHotKeys::serviceName() {
    return QStringLiteral("org.kde.kglobalaccel");
}

QStringList KGlobalAccelHotKeys::actionId(const QString& action, const QString& title) {
    // Component and action, each as stored and as shown in the desktop's settings.
    return {QStringLiteral("ovra"), action, QStringLiteral("Ovra"), title};
}

KGlobalAccelHotKeys::KGlobalAccelHotKeys(QObject* parent)
    : QObject(parent), m_actionId(actionId()) {}

KGlobalAccelHotKeys::KGlobalAccelHotKeys(const QString& action, const QString& title,
                                         QObject* parent)
    : QObject(parent), m_actionId(actionId(action, title)) {}

KGlobalAccelHotKeys::~KGlobalAccelHotKeys() {
    unregisterHotKey();
}

bool KGlobalAccelHotKeys::start() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return false;
    // Watched before the owner is asked, so that no restart of the service goes unseen, nor its
    // arrival when it comes up after this program at login.
    m_serviceWatch = new BusOwnerWatch(
        serviceName(),
        [this](const QString&) {
            qCInfo(lc) << "KDE's global shortcut service is on the bus: registering";
            m_running = true;
            if (m_onPressed)
                sendRegistration();
        },
        bus, this);
    const auto owner = bus.interface()->serviceOwner(serviceName());
    m_running = owner.isValid();
    if (m_running)
        m_serviceWatch->setKnownOwner(owner.value());
    else
        qCInfo(lc) << "KDE's global shortcut service is not running";
    return true;
}

bool KGlobalAccelHotKeys::registerHotKey(QKeyCombination keys, std::function<void()> onPressed) {
    if (m_onPressed || !onPressed)
        return false;
    m_onPressed = std::move(onPressed);
    m_keys = keys;
    if (m_running)
        sendRegistration();
    else
        qCInfo(lc) << "the shortcut is not held until KDE's global shortcut service runs";
    return true;
}

void KGlobalAccelHotKeys::sendRegistration() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    // Calls on one connection are handled in order: the action exists before its keys are set.
    bus.call(serviceCall(QStringLiteral("doRegister"), {m_actionId}), QDBus::NoBlock);
    auto* set = new QDBusPendingCallWatcher(
        bus.asyncCall(serviceCall(QStringLiteral("setShortcut"),
                                  {m_actionId, QVariant::fromValue(QList<int>{m_keys.toCombined()}),
                                   setPresent | noAutoloading})),
        this);
    connect(set, &QDBusPendingCallWatcher::finished, this, [](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusPendingReply<QList<int>> reply = *call;
        // The service gives back the keys it assigned: none when another action holds them.
        if (!reply.isValid() || reply.value().isEmpty())
            qCWarning(lc) << "KDE's global shortcut service did not take the shortcut";
    });
    auto* component = new QDBusPendingCallWatcher(
        bus.asyncCall(serviceCall(QStringLiteral("getComponent"), {m_actionId.first()})), this);
    connect(component, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                const QDBusPendingReply<QDBusObjectPath> reply = *call;
                if (reply.isValid())
                    listenOn(reply.value().path());
                else
                    qCWarning(lc) << "KDE's global shortcut service has no component for us";
            });
}

void KGlobalAccelHotKeys::listenOn(const QString& componentPath) {
    if (componentPath == m_componentPath)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!m_componentPath.isEmpty())
        bus.disconnect(serviceName(), m_componentPath, componentInterface,
                       QStringLiteral("globalShortcutPressed"), this,
                       SLOT(onPressed(QString, QString, qlonglong)));
    m_componentPath = componentPath;
    // Signals from the service's owner only: no other client can press the shortcut.
    bus.connect(serviceName(), componentPath, componentInterface,
                QStringLiteral("globalShortcutPressed"), this,
                SLOT(onPressed(QString, QString, qlonglong)));
}

void KGlobalAccelHotKeys::unregisterHotKey() {
    if (!m_onPressed)
        return;
    m_onPressed = nullptr;
    if (!m_running)
        return; // a call would start the service only to tell it of nothing
    // Inactive, not removed: the desktop keeps the entry (and a user's change to it) for the
    // program's next start.
    QDBusConnection::sessionBus().call(serviceCall(QStringLiteral("setInactive"), {m_actionId}),
                                       QDBus::NoBlock);
}

void KGlobalAccelHotKeys::releaseStoredKeys() {
    if (m_onPressed || !m_running)
        return;
    QDBusConnection::sessionBus().call(serviceCall(QStringLiteral("unRegister"), {m_actionId}),
                                       QDBus::NoBlock);
}

void KGlobalAccelHotKeys::onPressed(const QString& component, const QString& action, qlonglong) {
    const QStringList& ours = m_actionId;
    if (m_onPressed && component == ours[0] && action == ours[1])
        m_onPressed();
}

} // namespace ovra::platform
