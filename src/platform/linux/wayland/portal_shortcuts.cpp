#include "platform/linux/wayland/portal_shortcuts.h"

#include "platform/linux/key_mapping.h"
#include "platform/linux/wayland/portal_response.h"
#include "support/logging.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QPointer>
#include <QTimer>
#include <memory>
#include <qcoro/qcorodbuspendingcall.h>

// Last: its macros would clash with the headers above.
#include <X11/Xlib.h>

OVRA_LOGGING_CATEGORY("ovra.platform.wayland");

namespace ovra::platform {

namespace {

const QString desktopPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString shortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");

QDBusMessage portalCall(const QString& interface, const QString& method,
                        const QVariantList& arguments) {
    QDBusMessage call = QDBusMessage::createMethodCall(PortalShortcuts::serviceName(), desktopPath,
                                                       interface, method);
    call.setArguments(arguments);
    return call;
}

} // namespace

QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut) {
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut) {
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

QString PortalShortcuts::serviceName() {
    return QStringLiteral("org.freedesktop.portal.Desktop");
}

std::optional<QString> PortalShortcuts::trigger(QKeyCombination keys) {
    const Qt::KeyboardModifiers modifiers = keys.keyboardModifiers();
    if (modifiers & ~(Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier | Qt::MetaModifier))
        return std::nullopt;
    const std::optional<unsigned long> keysym = KeyMapping::keysym(keys.key());
    const char* name = keysym ? XKeysymToString(*keysym) : nullptr;
    if (!name)
        return std::nullopt;
    QString text;
    const std::pair<Qt::KeyboardModifier, const char*> names[] = {{Qt::ControlModifier, "CTRL+"},
                                                                  {Qt::AltModifier, "ALT+"},
                                                                  {Qt::ShiftModifier, "SHIFT+"},
                                                                  {Qt::MetaModifier, "LOGO+"}};
    for (const auto& [modifier, prefix] : names)
        if (modifiers & modifier)
            text += QLatin1String(prefix);
    return text + QLatin1String(name);
}

PortalShortcuts::PortalShortcuts(QString appId, QDBusConnection bus, QObject* parent)
    : QObject(parent), m_appId(std::move(appId)), m_bus(std::move(bus)) {
    // The signals' slots are matched by their types' names, known only once registered.
    qRegisterMetaType<QDBusObjectPath>();
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
}

PortalShortcuts::~PortalShortcuts() {
    closeSession();
}

bool PortalShortcuts::start() {
    if (!m_bus.isConnected() || !m_bus.interface())
        return false;
    // Only the portal's own signals, and only for this program's session (checked on arrival).
    m_bus.connect(serviceName(), desktopPath, shortcutsInterface, QStringLiteral("Activated"), this,
                  SLOT(onActivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
    m_bus.connect(serviceName(), desktopPath, shortcutsInterface,
                  QStringLiteral("ShortcutsChanged"), this,
                  SLOT(onShortcutsChanged(QDBusObjectPath, QList<ovra::platform::PortalShortcut>)));
    m_ownerWatch = new BusOwnerWatch(
        serviceName(), [this](const QString& owner) { ownerArrived(owner); }, m_bus, this);
    const auto owner = m_bus.interface()->serviceOwner(serviceName());
    if (owner.isValid()) {
        m_owner = owner.value();
        m_ownerWatch->setKnownOwner(m_owner);
    }
    return true;
}

void PortalShortcuts::setShortcut(const QString& id, const QString& description,
                                  const QString& trigger, std::function<void()> onActivated) {
    m_shortcuts[id] = Entry{description, trigger, std::move(onActivated)};
    scheduleBind();
}

void PortalShortcuts::removeShortcut(const QString& id) {
    if (m_shortcuts.erase(id))
        scheduleBind();
}

QString PortalShortcuts::triggerDescription(const QString& id) const {
    const auto found = m_triggers.find(id);
    return found == m_triggers.end() ? QString() : found->second;
}

void PortalShortcuts::ownerArrived(const QString& owner) {
    m_owner = owner;
    // A restarted portal has forgotten the program; one that refused it would again. A binding
    // under way looks at the owner when it ends (its own first call may have started it).
    if (m_binding || owner == m_registeredWith || owner == m_failedWith)
        return;
    qCInfo(lc) << "the desktop portal is on the bus: binding the shortcuts again";
    m_registeredWith.clear();
    m_session.clear(); // gone with the old portal
    setState(State::waiting);
    scheduleBind();
}

void PortalShortcuts::scheduleBind() {
    // A portal that refused the program is not asked again until another one runs.
    if (m_state == State::unavailable)
        return;
    if (m_binding) {
        m_setChanged = true;
        return;
    }
    if (m_bindScheduled)
        return;
    m_bindScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_bindScheduled = false;
        bind();
    });
}

QCoro::Task<void> PortalShortcuts::bind() {
    QPointer<PortalShortcuts> self(this);
    m_binding = true;
    m_setChanged = false;
    // Until the portal answers, a stand-in holding a shortcut keeps it and none takes one up.
    setState(State::waiting);
    bool bound = co_await registerApplication();
    if (!self)
        co_return;
    if (bound) {
        closeSession();
        if (m_shortcuts.empty())
            m_triggers.clear();
        else
            bound = co_await bindInNewSession();
        if (!self)
            co_return;
    }
    m_binding = false;
    if (bound) {
        qCInfo(lc) << "the desktop portal holds" << m_shortcuts.size() << "shortcuts";
    } else {
        qCInfo(lc) << "the desktop portal holds no shortcut: its stand-in does";
        if (!m_registeredWith.isEmpty())
            m_failedWith = m_registeredWith;
        closeSession();
        m_triggers.clear();
    }
    setState(bound ? State::bound : State::unavailable);
    if (!m_owner.isEmpty() && m_owner != m_registeredWith && m_owner != m_failedWith)
        ownerArrived(m_owner); // another portal came while this one was asked
    else if (bound && m_setChanged)
        scheduleBind();
}

QCoro::Task<bool> PortalShortcuts::bindInNewSession() {
    QPointer<PortalShortcuts> self(this);
    const QVariantMap sessionOptions{
        {QStringLiteral("session_handle_token"), QStringLiteral("ovra%1").arg(++m_tokens)}};
    const QVariantList createArguments{sessionOptions};
    const QString createSession = QStringLiteral("CreateSession");
    const std::optional<QVariantMap> created =
        co_await request(createSession, createArguments, callDeadline);
    if (!self || !created)
        co_return false;
    // A string by the interface's definition; an object path from some portals.
    const QVariant handle = created->value(QStringLiteral("session_handle"));
    m_session = handle.metaType() == QMetaType::fromType<QDBusObjectPath>()
                    ? qvariant_cast<QDBusObjectPath>(handle).path()
                    : handle.toString();
    if (m_session.isEmpty())
        co_return false;
    QList<PortalShortcut> shortcuts;
    for (const auto& [id, entry] : m_shortcuts) {
        QVariantMap properties{{QStringLiteral("description"), entry.description}};
        if (!entry.trigger.isEmpty())
            properties.insert(QStringLiteral("preferred_trigger"), entry.trigger);
        shortcuts.append({id, properties});
    }
    const QVariantList bindArguments{QVariant::fromValue(QDBusObjectPath(m_session)),
                                     QVariant::fromValue(shortcuts), QString(), QVariantMap()};
    const QString bindShortcuts = QStringLiteral("BindShortcuts");
    m_announcedBound = false;
    const std::optional<QVariantMap> results =
        co_await request(bindShortcuts, bindArguments, bindDeadline);
    if (!self)
        co_return false;
    if (!results) {
        // GNOME 48's portal announces the shortcuts it bound, then answers with a code it never
        // set: the announcement is what counts.
        // The announcement has already given the triggers.
        if (!m_announcedBound)
            co_return false;
        qCInfo(lc) << "the desktop portal announced the shortcuts bound, whatever its answer";
        co_return true;
    }
    takeTriggers(qdbus_cast<QList<PortalShortcut>>(results->value(QStringLiteral("shortcuts"))));
    co_return true;
}

QCoro::Task<bool> PortalShortcuts::registerApplication() {
    if (!m_registeredWith.isEmpty())
        co_return true;
    QPointer<PortalShortcuts> self(this);
    // The first call starts a portal that is not running yet. (Arguments are built before the
    // wait: the compiler cannot keep a braced list alive across it.)
    const QDBusMessage call = portalCall(QStringLiteral("org.freedesktop.host.portal.Registry"),
                                         QStringLiteral("Register"), {m_appId, QVariantMap()});
    const QDBusMessage reply = co_await m_bus.asyncCall(call, int(callDeadline.count()));
    if (!self)
        co_return false;
    // The portal that answered, as its later comings and goings will name it (not every Qt tells
    // a reply's sender by its unique name); nobody when there is none.
    QDBusMessage ownerCall = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetNameOwner"));
    ownerCall.setArguments({serviceName()});
    const QDBusMessage ownerReply = co_await m_bus.asyncCall(ownerCall, int(callDeadline.count()));
    if (!self)
        co_return false;
    const QString owner = ownerReply.type() == QDBusMessage::ReplyMessage
                              ? ownerReply.arguments().value(0).toString()
                              : QString();
    if (!owner.isEmpty()) {
        m_owner = owner;
        if (m_ownerWatch)
            m_ownerWatch->setKnownOwner(owner);
    }
    if (reply.type() != QDBusMessage::ReplyMessage) {
        qCInfo(lc) << "the desktop portal did not take the program's id:" << reply.errorName()
                   << reply.errorMessage();
        m_failedWith = owner;
        co_return false;
    }
    m_registeredWith = owner;
    co_return true;
}

QCoro::Task<std::optional<QVariantMap>>
PortalShortcuts::request(QString method, QVariantList arguments,
                         std::chrono::milliseconds deadline) {
    QPointer<PortalShortcuts> self(this);
    const QString token = QStringLiteral("ovra%1").arg(++m_tokens);
    const QString expected = handlePath(QStringLiteral("request"), token);
    auto response = std::make_unique<PortalResponse>();
    const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");
    m_bus.connect(serviceName(), expected, requestInterface, QStringLiteral("Response"),
                  response.get(), SLOT(take(uint, QVariantMap)));
    QVariantMap options = qvariant_cast<QVariantMap>(arguments.takeLast());
    options.insert(QStringLiteral("handle_token"), token);
    arguments.append(options);
    QDBusConnection bus = m_bus;
    const QDBusMessage call = portalCall(shortcutsInterface, method, arguments);
    const QDBusMessage reply = co_await bus.asyncCall(call, int(callDeadline.count()));
    if (!self)
        co_return std::nullopt;
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        qCInfo(lc) << "the desktop portal refused" << method << reply.errorName();
        co_return std::nullopt;
    }
    // A portal older than handle tokens answers on a handle of its own.
    const QString handle = qvariant_cast<QDBusObjectPath>(reply.arguments().constFirst()).path();
    if (handle != expected)
        bus.connect(serviceName(), handle, requestInterface, QStringLiteral("Response"),
                    response.get(), SLOT(take(uint, QVariantMap)));
    const std::optional<PortalResponse::Answer> answer = co_await response->wait(deadline);
    if (!self)
        co_return std::nullopt;
    if (!answer || answer->code != 0) {
        qCInfo(lc) << "the desktop portal answered" << method << "with"
                   << (answer ? answer->code : -1);
        co_return std::nullopt;
    }
    co_return answer->results;
}

void PortalShortcuts::closeSession() {
    if (m_session.isEmpty())
        return;
    QDBusMessage close = QDBusMessage::createMethodCall(
        serviceName(), m_session, QStringLiteral("org.freedesktop.portal.Session"),
        QStringLiteral("Close"));
    m_bus.call(close, QDBus::NoBlock);
    m_session.clear();
}

void PortalShortcuts::takeTriggers(const QList<PortalShortcut>& shortcuts) {
    m_triggers.clear();
    for (const PortalShortcut& shortcut : shortcuts)
        m_triggers[shortcut.id] =
            shortcut.properties.value(QStringLiteral("trigger_description")).toString();
}

void PortalShortcuts::setState(State state) {
    m_state = state;
    Q_EMIT changed();
}

QString PortalShortcuts::handlePath(const QString& kind, const QString& token) const {
    // The portal names handles after the caller's unique name, without its colon and dots.
    QString sender = m_bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return QStringLiteral("/org/freedesktop/portal/desktop/%1/%2/%3").arg(kind, sender, token);
}

void PortalShortcuts::onActivated(const QDBusObjectPath& session, const QString& id, qulonglong,
                                  const QVariantMap&) {
    if (m_session.isEmpty() || session.path() != m_session)
        return;
    const auto found = m_shortcuts.find(id);
    if (found != m_shortcuts.end() && found->second.onActivated) {
        const std::function<void()> onActivated = found->second.onActivated;
        onActivated();
    }
}

void PortalShortcuts::onShortcutsChanged(const QDBusObjectPath& session,
                                         const QList<ovra::platform::PortalShortcut>& shortcuts) {
    if (m_session.isEmpty() || session.path() != m_session)
        return;
    m_announcedBound = !shortcuts.isEmpty();
    takeTriggers(shortcuts);
    Q_EMIT changed();
}

} // namespace ovra::platform
