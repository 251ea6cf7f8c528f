#include "platform/linux/wayland/kwin_active_window.h"

#include "platform/linux/wayland/active_window_report.h"

#include "support/logging.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QTimer>
#include <utility>

OVRA_LOGGING_CATEGORY("ovra.platform.wayland");

namespace ovra::platform {

namespace {

const QString kwinService = QStringLiteral("org.kde.KWin");
const QString scriptingPath = QStringLiteral("/Scripting");
const QString scriptingInterface = QStringLiteral("org.kde.kwin.Scripting");

// Reports the active window, and again whenever it moves or is resized, as JSON so that no number
// depends on how the script engine converts it for D-Bus. The area reported is the window's
// surface, where applications place their text. Plasma 6 renamed the active client and its signal
// to the active window; the names are tested here so that one script serves Plasma 5 and 6.
constexpr const char* scriptTemplate = R"js(
var plasma6 = workspace.activeWindow !== undefined;
var tracked = null;
function active() {
    return plasma6 ? workspace.activeWindow : workspace.activeClient;
}
function report() {
    var c = active();
    var info = { pid: 0 };
    if (c) {
        // Applications place their text within their surface (its buffer); older releases
        // name no buffer or client geometry.
        var g = c.bufferGeometry || c.clientGeometry || c.frameGeometry, f = c.frameGeometry;
        info = { pid: c.pid, resourceClass: String(c.resourceClass),
                 client: [g.x, g.y, g.width, g.height], frame: [f.x, f.y, f.width, f.height] };
    }
    callDBus("%1", "%2", "org.ovra.ActiveWindowReports", "Report", JSON.stringify(info));
}
function track(c) {
    if (tracked)
        tracked.frameGeometryChanged.disconnect(report);
    tracked = c;
    if (c)
        c.frameGeometryChanged.connect(report);
    report();
}
(plasma6 ? workspace.windowActivated : workspace.clientActivated).connect(track);
track(active());
)js";

QDBusMessage scriptingCall(const QString& method, const QVariantList& arguments) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(kwinService, scriptingPath, scriptingInterface, method);
    call.setArguments(arguments);
    return call;
}

} // namespace

QString KWinActiveWindow::objectPath() {
    return QStringLiteral("/org/ovra/ActiveWindow");
}

KWinActiveWindow::KWinActiveWindow(std::shared_ptr<ActiveWindowStore> store,
                                   std::function<void(qint32 pid)> onChange, QObject* parent)
    : QObject(parent), m_reports(std::move(store), std::move(onChange)) {}

KWinActiveWindow::~KWinActiveWindow() {
    // Without this KWin would keep calling a receiver that is gone.
    unloadScript();
    if (m_exported)
        QDBusConnection::sessionBus().unregisterObject(objectPath());
}

QString KWinActiveWindow::scriptSource(const QString& service) {
    return QString::fromLatin1(scriptTemplate).arg(service, objectPath());
}

bool KWinActiveWindow::start() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return false;
    // Watched before the owner is asked, so that no restart of KWin goes unseen.
    m_kwinWatch = new BusOwnerWatch(
        kwinService, [this](const QString& owner) { kwinRestarted(owner); }, bus, this);
    const auto owner = bus.interface()->serviceOwner(kwinService);
    if (!owner.isValid()) {
        qCInfo(lc) << "KWin is not on the session bus; the active window is not known";
        return false;
    }
    m_kwinOwner = owner.value();
    m_kwinWatch->setKnownOwner(m_kwinOwner);
    if (!bus.registerObject(objectPath(), this, QDBusConnection::ExportAllSlots)) {
        qCWarning(lc) << "could not export" << objectPath();
        return false;
    }
    m_exported = true;
    if (!m_scriptFile.open()) {
        qCWarning(lc) << "could not write the KWin script";
        return false;
    }
    m_scriptFile.write(scriptSource(bus.baseService()).toUtf8());
    m_scriptFile.flush();
    loadScript();
    return true;
}

void KWinActiveWindow::kwinRestarted(const QString& owner) {
    // The script went with the previous KWin, and so did the right to report.
    m_kwinOwner = owner;
    if (!m_scriptFile.isOpen())
        return; // start() gave up before any script was written
    qCInfo(lc) << "KWin is back: loading the script again";
    m_scriptName.clear();
    m_loads = 0;
    m_reports.forgetHeard();
    loadScript();
}

void KWinActiveWindow::unloadScript() {
    if (m_scriptName.isEmpty())
        return;
    QDBusConnection::sessionBus().call(
        scriptingCall(QStringLiteral("unloadScript"), {std::exchange(m_scriptName, QString())}),
        QDBus::NoBlock);
}

void KWinActiveWindow::loadScript() {
    unloadScript();
    if (m_loads >= maxLoads) {
        qCInfo(lc) << "KWin runs no script of this program: the active window is not known";
        return;
    }
    // A name of this process and attempt: KWin refuses one it still holds, as it may for a run
    // that ended without unloading its script, or just after an unload.
    const QString name = QStringLiteral("ovra-active-window-%1-%2")
                             .arg(QCoreApplication::applicationPid())
                             .arg(++m_scripts);
    ++m_loads;
    auto* watcher = new QDBusPendingCallWatcher(
        QDBusConnection::sessionBus().asyncCall(
            scriptingCall(QStringLiteral("loadScript"), {m_scriptFile.fileName(), name})),
        this);
    // Answers and timeouts of a KWin that has since restarted are no longer this load's.
    const auto sameKWin = [this, kwin = m_kwinOwner] { return kwin == m_kwinOwner; };
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, name, sameKWin](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                if (!sameKWin())
                    return;
                const QDBusPendingReply<int> reply = *call;
                if (reply.isError() || reply.value() < 0) {
                    qCWarning(lc) << "KWin did not load the script"
                                  << (reply.isError() ? reply.error().name() : QString());
                    QTimer::singleShot(firstReportWithinMs / 4, this, [this, sameKWin] {
                        if (sameKWin())
                            loadScript();
                    });
                    return;
                }
                m_scriptName = name;
                // Loaded scripts run once the scripting service is started.
                QDBusConnection::sessionBus().call(scriptingCall(QStringLiteral("start"), {}),
                                                   QDBus::NoBlock);
                // The script reports at once; silence means it does not run.
                QTimer::singleShot(firstReportWithinMs, this, [this, sameKWin] {
                    if (sameKWin() && !m_reports.heardAny())
                        loadScript();
                });
            });
}

void KWinActiveWindow::Report(const QString& json) {
    if (calledFromDBus() && message().service() != m_kwinOwner) {
        qCInfo(lc) << "ignored an active-window report that KWin did not send";
        return;
    }
    if (!m_reports.take(json))
        qCInfo(lc) << "ignored a malformed active-window report";
}

} // namespace ovra::platform
