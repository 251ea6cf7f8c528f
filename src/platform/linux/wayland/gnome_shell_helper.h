#pragma once

#include "platform/hot_key_service.h"
#include "platform/linux/wayland/active_window_report.h"
#include "platform/linux/wayland/bus_owner_watch.h"

#include <QObject>
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace ovra::platform {

// Ovra's GNOME Shell extension seen from the program: it announces the focused window (process
// and surface) and grabs the program's shortcut, since a Wayland client can do neither. The
// extension may come up after the program (turned on from the preferences, or later at login), and
// the shell turns it off while the screen is locked and on after; each time it appears on the bus
// it is told the shortcut and asked for the focused window. UI thread only.
class GnomeShellHelper final : public QObject, public HotKeyService {
    Q_OBJECT
public:
    static constexpr const char* extensionUuid = "ovra@ovra.app";
    static QString serviceName();
    static QString objectPath();

    // `store` receives every report; `onChange` runs after each one that names another process.
    GnomeShellHelper(std::shared_ptr<ActiveWindowStore> store,
                     std::function<void(qint32 pid)> onChange, QObject* parent = nullptr);
    ~GnomeShellHelper() override;

    // Listens to the extension and asks for the focused window when it is running; watches for
    // its arrival when it is not. False only without a session bus.
    bool start();
    // The extension is (or was, the last time it appeared) on the bus.
    bool isRunning() const { return m_running; }

    // The shortcut in the shell's notation ("<Alt><Super>t"); nothing when it has no such key.
    static std::optional<QString> accelerator(quint32 keyCode, quint32 carbonModifiers);

    // The shell holds the shortcut; the press reaches this program as a signal. While the
    // extension is not running the shortcut is kept for its arrival (and true returned): the
    // preferences say then that the shortcut needs the extension.
    bool registerHotKey(quint32 keyCode, quint32 carbonModifiers,
                        std::function<void()> onPressed) override;
    void unregisterHotKey() override;

    // An action's own shortcut, held by the shell as the panel's is (an extension older than
    // this program answers with an error, which is only logged). False when it has no key in the
    // shell's notation or the action holds one already.
    bool registerActionHotKey(const QString& action, quint32 keyCode, quint32 carbonModifiers,
                              std::function<void()> onPressed);
    void unregisterActionHotKey(const QString& action);

    // Asks the shell to answer once the user holds no mouse button, Shift or Control any more:
    // the end of the gesture that changed a selection. `onAnswer` gets true then, false when the
    // gesture outlasts the shell's wait, the extension is too old to tell or is not running.
    // Never called after this object is gone.
    void waitForInputRelease(std::function<void(bool released)> onAnswer);

private Q_SLOTS:
    void onFocusedWindowChanged(const QString& json);
    void onShortcutPressed();
    void onActionShortcutPressed(const QString& action);

private:
    void setShortcut(const QString& accelerator);
    void setActionShortcut(const QString& action, const QString& accelerator);
    void askForFocusedWindow();
    void registerAgain();

    ActiveWindowReports m_reports;
    std::function<void()> m_onPressed;
    QString m_accelerator; // held for the extension's next start
    struct ActionShortcut {
        QString accelerator;
        std::function<void()> onPressed;
    };
    std::map<QString, ActionShortcut> m_actions; // by action name
    BusOwnerWatch* m_extensionWatch = nullptr;
    bool m_running = false;
};

// One action's shortcut through the shell's extension, as the rest of the program holds shortcuts.
class GnomeShellActionHotKey final : public HotKeyService {
public:
    GnomeShellActionHotKey(GnomeShellHelper& shell, QString action)
        : m_shell(shell), m_action(std::move(action)) {}
    ~GnomeShellActionHotKey() override { unregisterHotKey(); }
    bool registerHotKey(quint32 keyCode, quint32 carbonModifiers,
                        std::function<void()> onPressed) override {
        return m_shell.registerActionHotKey(m_action, keyCode, carbonModifiers,
                                            std::move(onPressed));
    }
    void unregisterHotKey() override { m_shell.unregisterActionHotKey(m_action); }

private:
    GnomeShellHelper& m_shell;
    QString m_action;
};

} // namespace ovra::platform
