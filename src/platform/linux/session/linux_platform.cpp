#include "platform/linux/session/linux_platform.h"

#include "ovra/deployment_config.h"

#include "platform/linux/wayland/gnome_shell_helper.h"
#include "platform/linux/wayland/kglobalaccel_hot_keys.h"
#include "platform/linux/wayland/kwin_active_window.h"
#include "platform/linux/wayland/no_synthetic_keys.h"
#include "platform/linux/wayland/pointerless_screen_services.h"
#include "platform/linux/wayland/portal_hot_key.h"
#include "platform/linux/wayland/portal_shortcuts.h"
#include "platform/linux/wayland/selection_event_monitors.h"
#include "platform/linux/wayland/wayland_workspace_services.h"
#include "platform/linux/x11/x11_synthetic_keys.h"
#include "support/logging.h"

OVRA_LOGGING_CATEGORY("ovra.platform.session");

namespace ovra::platform {

std::unique_ptr<LinuxPlatform> LinuxPlatform::create() {
    return create(DesktopEntries(DesktopEntries::sessionDataDirs()),
                  detectDesktopSession(QProcessEnvironment::systemEnvironment()));
}

LinuxPlatform::~LinuxPlatform() = default;

std::unique_ptr<LinuxPlatform> LinuxPlatform::create(DesktopEntries entries,
                                                     DesktopSession session) {
    auto connection = X11Connection::open();
    if (!connection)
        return nullptr;
    std::unique_ptr<LinuxPlatform> platform(new LinuxPlatform);
    platform->m_session = session;
    platform->m_connection = std::move(connection);
    X11Connection& x11 = *platform->m_connection;
    platform->m_workspace = std::make_unique<X11WorkspaceServices>(x11, std::move(entries));
    X11WorkspaceServices* workspace = platform->m_workspace.get();
    platform->m_accessSwitch = std::make_unique<AtspiAccessibilitySwitch>();
    platform->m_input = std::make_unique<X11InputMonitors>(x11);
    platform->m_clipboard = std::make_unique<QtClipboardServices>(
        &x11, [workspace](Window window) { return workspace->windowPid(window); });
    platform->m_hotKey = std::make_unique<X11HotKeyService>(x11);
    platform->m_workspaceServices = platform->m_workspace.get();
    platform->m_inputMonitors = platform->m_input.get();
    platform->m_screenServices = &platform->m_screens;
    platform->m_hotKeyService = platform->m_hotKey.get();
    if (isWayland(session)) {
        platform->setUpWayland();
    } else {
        platform->m_keys = std::make_unique<X11SyntheticKeys>(x11, *workspace);
    }
    return platform;
}

void LinuxPlatform::setUpWayland() {
    qCInfo(lc) << "Wayland session: selections are followed on the accessibility bus";
    m_keys = std::make_unique<NoSyntheticKeys>();
    m_selectionEvents = std::make_unique<SelectionEventMonitors>(*m_input);
    m_inputMonitors = m_selectionEvents.get();
    m_pointerlessScreens = std::make_unique<PointerlessScreenServices>(m_screens);
    m_screenServices = m_pointerlessScreens.get();
    m_waylandWindows = std::make_shared<ActiveWindowStore>();
    m_waylandWorkspace = std::make_unique<WaylandWorkspaceServices>(*m_workspace, m_waylandWindows);
    m_workspaceServices = m_waylandWorkspace.get();
    WaylandWorkspaceServices* workspace = m_waylandWorkspace.get();
    const auto activeWindowChanged = [workspace](qint32 pid) {
        workspace->activeWindowChanged(pid);
    };
    if (m_session == DesktopSession::WaylandKde) {
        m_kwin = std::make_unique<KWinActiveWindow>(m_waylandWindows, activeWindowChanged);
        if (!m_kwin->start())
            m_kwin.reset();
        m_kdeShortcuts = std::make_unique<KGlobalAccelHotKeys>();
        if (m_kdeShortcuts->start())
            m_hotKeyService = m_kdeShortcuts.get();
        else
            m_kdeShortcuts.reset();
    } else if (m_session == DesktopSession::WaylandGnome) {
        m_gnomeShell = std::make_unique<GnomeShellHelper>(m_waylandWindows, activeWindowChanged);
        if (m_gnomeShell->start())
            m_hotKeyService = m_gnomeShell.get();
        else
            m_gnomeShell.reset();
    }
    if (!compositorReportsWindows())
        qCInfo(lc) << "the compositor does not report its windows: placement is approximate";
    setUpPortalShortcuts();
}

void LinuxPlatform::setUpPortalShortcuts() {
    // A connection of its own: the program's id must reach the portal before any other call,
    // and the toolkit may have asked the portal for its settings on the shared one already.
    m_portal = std::make_unique<PortalShortcuts>(
        QLatin1String(deployment::appId),
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("ovra-portal")));
    if (!m_portal->start()) {
        m_portal.reset();
        return;
    }
    m_portalHotKey = std::make_unique<PortalHotKey>(
        *m_portal, QStringLiteral("capture"), QStringLiteral("Show the panel for the selection"),
        m_hotKeyService);
    m_hotKeyService = m_portalHotKey.get();
    // After the panel's shortcut has followed the portal's change.
    QObject::connect(m_portal.get(), &PortalShortcuts::changed, m_portal.get(), [this] {
        if (onHotKeyHoldingChanged)
            onHotKeyHoldingChanged();
    });
}

namespace {

// How the desktop's shortcut settings list each action (they speak the desktop's language, not
// ours).
QString shortcutTitle(QuickAction action) {
    switch (action) {
    case QuickAction::translateReplace:
        return QStringLiteral("Translate and replace the selection");
    case QuickAction::rephraseReplace:
        return QStringLiteral("Rephrase and replace the selection");
    case QuickAction::reviewReplace:
        return QStringLiteral("Review and replace the selection");
    case QuickAction::translate:
        return QStringLiteral("Translate the selection in the panel");
    case QuickAction::summarize:
        return QStringLiteral("Summarize the selection in the panel");
    }
    return {};
}

} // namespace

HotKeyService* LinuxPlatform::actionHotKey(QuickAction action) {
    HotKeyService* held = helperActionHotKey(action);
    if (!m_portal)
        return held;
    auto& holder = m_actionPortalHotKeys[action];
    if (!holder)
        holder = std::make_unique<PortalHotKey>(*m_portal, QuickActions::name(action),
                                                shortcutTitle(action), held);
    return holder.get();
}

HotKeyService* LinuxPlatform::helperActionHotKey(QuickAction action) {
    if (m_kdeShortcuts) {
        auto& holder = m_actionKdeShortcuts[action];
        if (!holder) {
            holder = std::make_unique<KGlobalAccelHotKeys>(QuickActions::name(action),
                                                           shortcutTitle(action));
            holder->start();
        }
        return holder.get();
    }
    if (m_gnomeShell) {
        auto& holder = m_actionGnomeShortcuts[action];
        if (!holder)
            holder =
                std::make_unique<GnomeShellActionHotKey>(*m_gnomeShell, QuickActions::name(action));
        return holder.get();
    }
    auto& holder = m_actionX11HotKeys[action];
    if (!holder)
        holder = std::make_unique<X11HotKeyService>(*m_connection);
    return holder.get();
}

bool LinuxPlatform::hasShellExtension() const {
    return m_gnomeShell && m_gnomeShell->isRunning();
}

bool LinuxPlatform::hasDesktopShortcuts() const {
    return m_kdeShortcuts && m_kdeShortcuts->isRunning();
}

LinuxPlatform::HotKeyHolding LinuxPlatform::hotKeyHolding() const {
    if (!isWayland(m_session))
        return {HotKeyHolder::x11, {}};
    if (m_portalHotKey && m_portalHotKey->portalHolds())
        return {HotKeyHolder::desktopPortal,
                m_portal->triggerDescription(QStringLiteral("capture"))};
    // While the portal has not answered, its stand-in holds nothing yet.
    if (m_portalHotKey && !m_portalHotKey->fallbackHolds())
        return {};
    if (hasDesktopShortcuts())
        return {HotKeyHolder::kdeShortcuts, {}};
    if (hasShellExtension())
        return {HotKeyHolder::shellExtension, {}};
    return {};
}

bool LinuxPlatform::compositorReportsWindows() const {
    return m_kwin || hasShellExtension();
}

void LinuxPlatform::windowActivated(qint32 pid) {
    // Until the shell's extension runs, placement goes by the application alone.
    if (!m_waylandWorkspace || compositorReportsWindows())
        return;
    const std::optional<ActiveWindow> active = m_waylandWindows->get();
    if (active && active->pid == pid)
        return;
    m_waylandWindows->set(ActiveWindow{pid, QString(), std::nullopt});
    m_waylandWorkspace->activeWindowChanged(pid);
}

void LinuxPlatform::selectionChanged(qint32 pid) {
    if (!m_selectionEvents)
        return;
    // Without the compositor's word, the application the user selects in is the one in front.
    windowActivated(pid);
    m_selectionEvents->selectionChanged(pid);
    // Reports keep coming while a drag or Shift+arrows goes on; the shell can tell when it ends,
    // which spares the capture most of its wait for the reports to settle.
    if (!m_gnomeShell || !m_gnomeShell->isRunning() || m_waitingForInputRelease)
        return;
    m_waitingForInputRelease = true;
    m_gnomeShell->waitForInputRelease([this, pid](bool released) {
        m_waitingForInputRelease = false;
        if (released)
            m_selectionEvents->selectionSettled(pid);
    });
}

} // namespace ovra::platform
