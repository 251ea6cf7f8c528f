#include "platform/linux/wayland/gnome_shell_helper.h"

#include "platform/linux/key_mapping.h"
#include "platform/linux/wayland/active_window_report.h"
#include "support/logging.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <X11/X.h>
#include <X11/Xlib.h>

OVRA_LOGGING_CATEGORY("ovra.platform.wayland");

namespace ovra::platform {

namespace {

QString interfaceName() {
    return QStringLiteral("app.ovra.Ovra.ShellHelper");
}

QDBusMessage helperCall(const QString& method, const QVariantList& arguments = {}) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        GnomeShellHelper::serviceName(), GnomeShellHelper::objectPath(), interfaceName(), method);
    call.setArguments(arguments);
    return call;
}

} // namespace

QString GnomeShellHelper::serviceName() {
    return QStringLiteral("app.ovra.Ovra.ShellHelper");
}

QString GnomeShellHelper::objectPath() {
    return QStringLiteral("/app/ovra/Ovra/ShellHelper");
}

GnomeShellHelper::GnomeShellHelper(std::shared_ptr<ActiveWindowStore> store,
                                   std::function<void(qint32 pid)> onChange, QObject* parent)
    : QObject(parent), m_reports(std::move(store), std::move(onChange)) {}

GnomeShellHelper::~GnomeShellHelper() {
    if (!m_running)
        return;
    // The shell would otherwise keep the keys from every application.
    if (m_onPressed)
        setShortcut(QString());
    for (const auto& [action, shortcut] : m_actions)
        setActionShortcut(action, QString());
}

bool GnomeShellHelper::start() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return false;
    // Signals from the name's owner only: no other client can stand in for the shell.
    bus.connect(serviceName(), objectPath(), interfaceName(),
                QStringLiteral("FocusedWindowChanged"), this,
                SLOT(onFocusedWindowChanged(QString)));
    bus.connect(serviceName(), objectPath(), interfaceName(), QStringLiteral("ShortcutPressed"),
                this, SLOT(onShortcutPressed()));
    bus.connect(serviceName(), objectPath(), interfaceName(),
                QStringLiteral("ActionShortcutPressed"), this,
                SLOT(onActionShortcutPressed(QString)));
    // Watched before the owner is asked, so that no return of the extension goes unseen.
    // An extension that comes up later (turned on from the preferences, or after this program at
    // login) is registered with on arrival.
    m_extensionWatch = new BusOwnerWatch(
        serviceName(), [this](const QString&) { registerAgain(); }, bus, this);
    const auto owner = bus.interface()->serviceOwner(serviceName());
    if (!owner.isValid()) {
        qCInfo(lc) << "the GNOME Shell extension" << extensionUuid
                   << "is not running: the active window and the shortcut are not known";
        return true;
    }
    m_extensionWatch->setKnownOwner(owner.value());
    m_running = true;
    askForFocusedWindow();
    return true;
}

void GnomeShellHelper::askForFocusedWindow() {
    auto* watcher = new QDBusPendingCallWatcher(
        QDBusConnection::sessionBus().asyncCall(helperCall(QStringLiteral("GetFocusedWindow"))),
        this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                const QDBusPendingReply<QString> reply = *call;
                if (reply.isValid())
                    onFocusedWindowChanged(reply.value());
            });
}

void GnomeShellHelper::waitForInputRelease(std::function<void(bool released)> onAnswer) {
    if (!m_running) {
        onAnswer(false);
        return;
    }
    // Past the shell's own limit of 3 s, so a slow shell answers false rather than an error.
    constexpr int replyTimeoutMs = 4000;
    auto* watcher = new QDBusPendingCallWatcher(
        QDBusConnection::sessionBus().asyncCall(helperCall(QStringLiteral("WaitForInputRelease")),
                                                replyTimeoutMs),
        this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [onAnswer = std::move(onAnswer)](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                const QDBusPendingReply<bool> reply = *call;
                if (reply.isError())
                    qCInfo(lc) << "the GNOME Shell extension did not tell the input's end:"
                               << reply.error().name();
                onAnswer(reply.isValid() && reply.value());
            });
}

void GnomeShellHelper::registerAgain() {
    // Turned off, the extension gave up the shortcut and stopped following the focus; one that
    // was not running at start has never had them.
    qCInfo(lc) << "the GNOME Shell extension is on the bus: registering with it";
    m_running = true;
    if (m_onPressed)
        setShortcut(m_accelerator);
    for (const auto& [action, shortcut] : m_actions)
        setActionShortcut(action, shortcut.accelerator);
    askForFocusedWindow();
}

void GnomeShellHelper::onFocusedWindowChanged(const QString& json) {
    if (!m_reports.take(json))
        qCInfo(lc) << "ignored a malformed focused-window report";
}

void GnomeShellHelper::onShortcutPressed() {
    if (m_onPressed)
        m_onPressed();
}

void GnomeShellHelper::onActionShortcutPressed(const QString& action) {
    const auto found = m_actions.find(action);
    if (found != m_actions.end() && found->second.onPressed) {
        const std::function<void()> onPressed = found->second.onPressed;
        onPressed();
    }
}

bool GnomeShellHelper::registerActionHotKey(const QString& action, QKeyCombination combination,
                                            std::function<void()> onPressed) {
    if (m_actions.count(action) || !onPressed)
        return false;
    const std::optional<QString> keys = accelerator(combination);
    if (!keys)
        return false;
    m_actions[action] = {*keys, std::move(onPressed)};
    if (m_running)
        setActionShortcut(action, *keys);
    return true;
}

void GnomeShellHelper::unregisterActionHotKey(const QString& action) {
    if (!m_actions.erase(action))
        return;
    if (m_running)
        setActionShortcut(action, QString());
}

void GnomeShellHelper::setActionShortcut(const QString& action, const QString& keys) {
    auto* watcher =
        new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(helperCall(
                                        QStringLiteral("SetActionShortcut"), {action, keys})),
                                    this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusPendingReply<bool> reply = *call;
        // An extension from before the actions had shortcuts knows no such method until the
        // next login loads the new one.
        if (!reply.isValid() || !reply.value())
            qCWarning(lc) << "GNOME Shell did not take an action's shortcut";
    });
}

std::optional<QString> GnomeShellHelper::accelerator(QKeyCombination keys) {
    const auto keysym = KeyMapping::keysym(keys.key());
    const auto state = KeyMapping::modifierState(keys.keyboardModifiers());
    if (!keysym || !state)
        return std::nullopt;
    const char* name = XKeysymToString(static_cast<KeySym>(*keysym));
    if (!name)
        return std::nullopt;
    QString result;
    if (*state & ShiftMask)
        result += QStringLiteral("<Shift>");
    if (*state & ControlMask)
        result += QStringLiteral("<Control>");
    if (*state & Mod1Mask)
        result += QStringLiteral("<Alt>");
    if (*state & Mod4Mask)
        result += QStringLiteral("<Super>");
    return result + QString::fromLatin1(name);
}

bool GnomeShellHelper::registerHotKey(QKeyCombination combination,
                                      std::function<void()> onPressed) {
    if (m_onPressed || !onPressed)
        return false;
    const std::optional<QString> keys = accelerator(combination);
    if (!keys)
        return false;
    m_onPressed = std::move(onPressed);
    m_accelerator = *keys;
    if (m_running)
        setShortcut(*keys);
    else
        qCInfo(lc) << "the shortcut is not held until the GNOME Shell extension runs";
    return true;
}

void GnomeShellHelper::unregisterHotKey() {
    if (!m_onPressed)
        return;
    m_onPressed = nullptr;
    m_accelerator.clear();
    if (m_running)
        setShortcut(QString());
}

void GnomeShellHelper::setShortcut(const QString& keys) {
    // The shell answers at once; a refusal (keys taken by the shell itself) is only logged.
    auto* watcher = new QDBusPendingCallWatcher(
        QDBusConnection::sessionBus().asyncCall(helperCall(QStringLiteral("SetShortcut"), {keys})),
        this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusPendingReply<bool> reply = *call;
        if (!reply.isValid() || !reply.value())
            qCWarning(lc) << "GNOME Shell did not take the shortcut";
    });
}

} // namespace ovra::platform
