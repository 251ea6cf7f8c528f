#pragma once

#include "platform/hot_key_service.h"
#include "platform/linux/wayland/active_window_report.h"
#include "platform/linux/wayland/bus_owner_watch.h"

#include <QObject>
#include <QString>
#include <functional>
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

private Q_SLOTS:
    void onFocusedWindowChanged(const QString& json);
    void onShortcutPressed();

private:
    void setShortcut(const QString& accelerator);
    void askForFocusedWindow();
    void registerAgain();

    ActiveWindowReports m_reports;
    std::function<void()> m_onPressed;
    QString m_accelerator; // held for the extension's next start
    BusOwnerWatch* m_extensionWatch = nullptr;
    bool m_running = false;
};

} // namespace ovra::platform
