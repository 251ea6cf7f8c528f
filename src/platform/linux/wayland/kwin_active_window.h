#pragma once

#include "platform/linux/wayland/active_window_report.h"
#include "platform/linux/wayland/bus_owner_watch.h"

#include <QDBusContext>
#include <QObject>
#include <QString>
#include <QTemporaryFile>
#include <functional>
#include <memory>
#include <optional>

namespace ovra::platform {

// Follows the active window of a KDE Plasma (KWin) Wayland session. A small KWin script, loaded
// over D-Bus, calls back on this object whenever another window becomes active or the active one
// moves, with its process and its client area; nothing is asked at capture time. The callbacks
// are taken only from KWin's own connection. A KWin that restarts runs no script of the previous
// one: the script is loaded into each new one. UI thread only.
class KWinActiveWindow final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.ovra.ActiveWindowReports")
public:
    static QString objectPath();
    // A script that is refused, or that does not report within this time, is loaded again.
    static constexpr int firstReportWithinMs = 2000;
    static constexpr int maxLoads = 3;

    // `store` receives every report; `onChange` runs after each one that names another process.
    KWinActiveWindow(std::shared_ptr<ActiveWindowStore> store,
                     std::function<void(qint32 pid)> onChange, QObject* parent = nullptr);
    ~KWinActiveWindow() override; // unloads the script

    // Exports this object and loads the script; false when there is no session bus or no KWin.
    // The first report arrives later.
    bool start();

    // The script's source for a receiver with this bus name (exposed for tests).
    static QString scriptSource(const QString& service);

public Q_SLOTS:
    void Report(const QString& json);

private:
    void loadScript();
    void unloadScript();
    void kwinRestarted(const QString& owner);

    ActiveWindowReports m_reports;
    QTemporaryFile m_scriptFile;
    QString m_kwinOwner; // KWin's unique bus name, the only sender taken
    bool m_exported = false;
    QString m_scriptName; // of the script KWin runs; empty while none
    int m_loads = 0;      // into the KWin of m_kwinOwner
    int m_scripts = 0;    // names given out in this process
    BusOwnerWatch* m_kwinWatch = nullptr;
};

} // namespace ovra::platform
