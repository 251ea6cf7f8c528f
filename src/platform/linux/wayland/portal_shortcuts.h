#pragma once

#include "platform/linux/wayland/bus_owner_watch.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QKeyCombination>
#include <QList>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <qcoro/qcorotask.h>

namespace ovra::platform {

// One shortcut as the portal lists it: its id and its properties ("description",
// "preferred_trigger" when bound; "description", "trigger_description" when reported).
struct PortalShortcut {
    QString id;
    QVariantMap properties;
};
QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut);
const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut);

// The desktop's GlobalShortcuts portal holding every shortcut of the program in one session. A
// program outside a sandbox is known to the portal only by the application id it registers
// before its first portal call, which must name an installed desktop entry; that call is made on
// a connection of its own so that no earlier portal call of the toolkit's comes first. The
// session binds its shortcuts once: a change of the set closes it and binds the whole set in a
// new one. The desktop's settings or its dialog may choose other triggers than those asked for;
// the ones it reports are kept. A portal that restarts has forgotten the program: it is
// registered with and bound again. Every call is asynchronous, with a deadline. UI thread only.
class PortalShortcuts final : public QObject {
    Q_OBJECT
public:
    enum class State {
        waiting,     // nothing bound yet, or a binding under way
        bound,       // the portal holds the set
        unavailable, // no portal, no GlobalShortcuts, registration or binding refused
    };

    static QString serviceName();
    // The combination in the portal's notation ("CTRL+ALT+t": modifiers, then the keysym's
    // name); nothing for a key or modifier it has no name for.
    static std::optional<QString> trigger(QKeyCombination keys);

    // `bus` is a session-bus connection the program makes no other portal call on.
    PortalShortcuts(QString appId, QDBusConnection bus, QObject* parent = nullptr);
    ~PortalShortcuts() override;

    // Listens to the portal and watches for its owner; false only without a bus. The portal
    // is started by the first call when it is not running.
    bool start();
    State state() const { return m_state; }

    // Adds or replaces the shortcut `id`; the set is bound at the next turn of the loop, so
    // that shortcuts registered together reach the portal in one binding.
    void setShortcut(const QString& id, const QString& description, const QString& trigger,
                     std::function<void()> onActivated);
    void removeShortcut(const QString& id);
    // The desktop's text for the trigger bound to `id`; empty while it reports none, which is
    // a shortcut bound to no key.
    QString triggerDescription(const QString& id) const;

    // Waits for a method's reply and for a request's answer.
    std::chrono::milliseconds callDeadline{15000};
    // The desktop may ask the user about new shortcuts before it answers.
    std::chrono::milliseconds bindDeadline{120000};

Q_SIGNALS:
    // The state or the reported triggers changed.
    void changed();

private Q_SLOTS:
    void onActivated(const QDBusObjectPath& session, const QString& id, qulonglong timestamp,
                     const QVariantMap& options);
    void onShortcutsChanged(const QDBusObjectPath& session,
                            const QList<ovra::platform::PortalShortcut>& shortcuts);

private:
    struct Entry {
        QString description;
        QString trigger;
        std::function<void()> onActivated;
    };

    void ownerArrived(const QString& owner);
    void scheduleBind();
    QCoro::Task<void> bind();
    QCoro::Task<bool> registerApplication();
    QCoro::Task<bool> bindInNewSession();
    // Calls `method` with a request handle and gives the results of its Response; nothing on
    // an error, a refusal or no answer by `deadline`.
    QCoro::Task<std::optional<QVariantMap>> request(QString method, QVariantList arguments,
                                                    std::chrono::milliseconds deadline);
    void closeSession();
    void takeTriggers(const QList<PortalShortcut>& shortcuts);
    void setState(State state);
    QString handlePath(const QString& kind, const QString& token) const;

    QString m_appId;
    QDBusConnection m_bus;
    BusOwnerWatch* m_ownerWatch = nullptr;
    std::map<QString, Entry> m_shortcuts;  // by id
    std::map<QString, QString> m_triggers; // by id, as the desktop describes them
    State m_state = State::waiting;
    QString m_owner;          // the portal's owner as last seen
    QString m_registeredWith; // the owner that knows the program's id
    QString m_failedWith;     // the owner (or the bus) that refused it last
    QString m_session;
    bool m_bindScheduled = false;
    bool m_binding = false;
    // The portal announced shortcuts bound to the session since the binding started.
    bool m_announcedBound = false;
    bool m_setChanged = false;
    int m_tokens = 0;
};

} // namespace ovra::platform

Q_DECLARE_METATYPE(ovra::platform::PortalShortcut)
