#include "app/app_delegate.h"
#include "app/command_line.h"
#include "app/widgets/app_windows.h"
#include "app/widgets/scroll_area_accessible.h"
#include "capture/accessibility_capture.h"
#include "capture/selection_monitor.h"
#include "engines/http_request.h"
#include "ondevice/apertium/apertium_translation_service.h"
#include "ondevice/apertium/language_detector.h"
#include "ondevice/local_model/local_model_client.h"
#include "ondevice/packagekit/packagekit_client.h"
#include "ovra/deployment_config.h"
#include "panel/panel_controller.h"
#include "panel/quick_action_flow.h"
#include "panel/replacer.h"
#include "panel/router_panel_engines.h"
#include "panel/widgets/action_card_window.h"
#include "panel/widgets/floating_panel_window.h"
#include "platform/linux/application_bus.h"
#include "platform/linux/desktop_entries.h"
#include "platform/linux/session/atspi_accessibility_thread.h"
#include "platform/linux/session/linux_platform.h"
#include "platform/linux/wayland/gnome_extension_switch.h"
#include "platform/linux/x11/compositor_watch.h"
#include "platform/linux/x11/x11_panel_window.h"
#include "platform/linux/xdg_session_autostart.h"
#include "settings/key_store.h"
#include "settings/prefs.h"
#include "shortcuts/shortcut_holder.h"
#include "support/logging.h"
#include "support/timer_scheduler.h"

#include <QApplication>
#include <QNetworkAccessManager>
#include <QPointer>
#include <QScreen>
#include <X11/Xlib.h>
#include <cstdio>
#include <unistd.h>

namespace {

// Everything here talks to an X server; without one there is nothing to start.
bool x11DisplayAvailable() {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return false;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    XCloseDisplay(display);
    return true;
}

int noDisplay() {
    std::fputs("ovra: no X11 display available (Ovra needs an X11 or XWayland session)\n", stderr);
    return 1;
}

// Answers what needs no running program: help, version and mistakes on the command line.
std::optional<int> answerAlone(const ovra::CommandLineRequest& request) {
    using Kind = ovra::CommandLineRequest::Kind;
    const QByteArray output = request.output.toLocal8Bit();
    switch (request.kind) {
    case Kind::run:
        return std::nullopt;
    case Kind::help:
    case Kind::version:
        std::fputs(output.constData(), stdout);
        return 0;
    case Kind::error:
        std::fputs(output.constData(), stderr);
        return ovra::CommandLineRequest::usageExitCode;
    }
    return std::nullopt;
}

// Hands `action` to the instance that owns the bus name and ends this process with its answer.
int handOver(const QString& action) {
    ovra::platform::requestFromRunningInstance(action, [](bool answered) {
        if (!answered)
            std::fputs("ovra: the running Ovra did not answer\n", stderr);
        QCoreApplication::exit(answered ? 0 : 1);
    });
    return QApplication::exec();
}

// How the shortcut reaches the program on this desktop, for the preferences to explain.
ovra::ShortcutSetup shortcutSetupFor(const ovra::platform::LinuxPlatform& platform) {
    using ovra::ShortcutSetup;
    using ovra::platform::DesktopSession;
    switch (platform.session()) {
    case DesktopSession::X11:
        return {};
    case DesktopSession::WaylandGnome:
        if (platform.hasShellExtension())
            return {};
        return {ShortcutSetup::Kind::needsShellExtension,
                &ovra::platform::enableGnomeShellExtension};
    case DesktopSession::WaylandKde:
        if (platform.hasDesktopShortcuts())
            return {};
        break;
    case DesktopSession::WaylandOther:
        break;
    }
    return {ShortcutSetup::Kind::bindInDesktopSettings, {}};
}

// Tells the preferences what holds the panel's shortcut now.
void reportHolder(const ovra::platform::LinuxPlatform& platform, ovra::ShortcutHolder& holder) {
    using Holder = ovra::platform::LinuxPlatform::HotKeyHolder;
    using Kind = ovra::ShortcutHolder::Kind;
    const auto holding = platform.hotKeyHolding();
    switch (holding.holder) {
    case Holder::none:
        return holder.set(Kind::none);
    case Holder::x11:
        return holder.set(Kind::program);
    case Holder::desktopPortal:
        return holder.set(Kind::desktopPortal, holding.trigger);
    case Holder::kdeShortcuts:
        return holder.set(Kind::kdeShortcuts);
    case Holder::shellExtension:
        return holder.set(Kind::shellExtension);
    }
}

} // namespace

int main(int argc, char** argv) {
    using namespace ovra;
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const CommandLineRequest request = CommandLine::parse(arguments);
    if (const auto exitCode = answerAlone(request))
        return *exitCode;
    if (request.verbose)
        logging::enableVerbose();
    if (!x11DisplayAvailable())
        return noDisplay();
    // The capture, the hot key and the panel placement all speak X11, so Qt must too.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");

    const auto app =
        platform::AtspiAccessibilityThread::makeUiApplication<QApplication>(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ovra"));
    QApplication::setDesktopFileName(QLatin1String(deployment::appId));
    QApplication::setApplicationVersion(QLatin1String(deployment::appVersion));
    QApplication::setQuitOnLastWindowClosed(false);
    installScrollAreaAccessible();

    // One instance per session: a later start passes its request on and ends.
    QStringList quickActionNames;
    for (const QuickAction action : quickActions)
        quickActionNames.append(QuickActions::name(action));
    platform::ApplicationBus bus(quickActionNames);
    const platform::ApplicationBus::Claim claim = bus.claim();
    if (claim == platform::ApplicationBus::Claim::heldByAnother)
        return handOver(request.action);
    if (request.action == u"quit")
        return 0; // nothing runs that could quit

    auto platform = platform::LinuxPlatform::create();
    if (!platform)
        return noDisplay();

    Prefs& prefs = Prefs::shared();
    KeyStore& keys = KeyStore::shared();
    TimerScheduler scheduler;
    QNetworkAccessManager network;
    HttpClient http(network);

    // The device's engines: the local model server, and Apertium with its packs from PackageKit.
    LocalModelClient localModel;
    LanguageDetector detector;
    PackageKitClient packages;
    ApertiumTranslationService translation(scheduler, detector, packages, &localModel);

    // This program as the desktop names it, so its own windows are never taken for another's.
    QString ownID = QString::fromUtf8(deployment::appId);
    if (const auto self = platform->workspace().runningApplication(qint32(::getpid()));
        self && !self->appId.isEmpty())
        ownID = self->appId;

    // Other applications' elements are read and written on a thread of their own; the UI thread
    // only awaits the answers.
    platform::AtspiAccessibilityThread accessibilityThread(platform::DevicePixels::ofQtScreens(),
                                                           platform->waylandWindows());
    if (platform::isWayland(platform->session())) {
        accessibilityThread.setOnSelectionChanged(
            [&platform](qint32 pid) { platform->selectionChanged(pid); });
        accessibilityThread.setOnWindowActivated(
            [&platform](qint32 pid) { platform->windowActivated(pid); });
    }
    // Gone before the thread, so no late screen change reaches it.
    QObject screensContext;
    const auto rescale = [&accessibilityThread] {
        accessibilityThread.setDevicePixels(platform::DevicePixels::ofQtScreens());
    };
    QObject::connect(app.get(), &QGuiApplication::screenAdded, &screensContext, rescale);
    QObject::connect(app.get(), &QGuiApplication::screenRemoved, &screensContext, rescale);
    QObject::connect(app.get(), &QGuiApplication::primaryScreenChanged, &screensContext, rescale);
    AccessibilityCapture accessibility(accessibilityThread, platform->workspace(), scheduler);
    CapturePlatform capture = platform->capturePlatform();
    auto engines = std::make_shared<RouterPanelEngines>(prefs, keys, http, localModel);
    // One borrower of the clipboard at a time: the copy capture and the replacement's paste.
    ClipboardLease clipboardLease(scheduler);
    // The applications being written into: their answering selection reports are not the user's.
    OwnWrites ownWrites(scheduler);
    PlatformTextReplacing replacer(ReplacementPlatform{accessibility, platform->clipboard(),
                                                       platform->workspace(), platform->keys(),
                                                       scheduler, clipboardLease},
                                   &ownWrites);

    // The panel draws opaque while no compositor runs, and follows one starting or stopping.
    QPointer<FloatingPanelWindow> panelWindow;
    platform::CompositorWatch compositor(platform->connection(), [&panelWindow](bool running) {
        if (panelWindow)
            panelWindow->setCompositing(running);
    });

    platform::XdgSessionAutostart autostart;
    ShortcutHolder shortcutHolder;
    platform->onHotKeyHoldingChanged = [&] { reportHolder(*platform, shortcutHolder); };
    ShortcutSetup shortcutSetup = shortcutSetupFor(*platform);
    shortcutSetup.holder = &shortcutHolder;
    AppWindows windows(AppWindows::Dependencies{
        prefs,
        keys,
        scheduler,
        translation,
        autostart,
        [](const QString& appId) { return platform::applicationName(appId); },
        [] { QApplication::quit(); },
        shortcutSetup,
    });

    AppDelegate delegate(AppDelegate::Dependencies{
        prefs,
        keys,
        scheduler,
        platform->workspace(),
        platform->accessSwitch(),
        platform->hotKey(),
        windows,
        [&] {
            return std::make_unique<PanelController>(PanelController::Dependencies{
                [&] {
                    return std::make_unique<PanelViewModel>(engines, replacer, capture.clipboard,
                                                            prefs, keys, scheduler);
                },
                [&](PanelViewModel& model) -> std::unique_ptr<PanelWindow> {
                    auto window = std::make_unique<FloatingPanelWindow>(model);
                    window->setCompositing(compositor.isRunning());
                    panelWindow = window.get();
                    QObject::connect(window.get(), &FloatingPanelWindow::nativeWindowReady,
                                     window.get(), [&platform](QWidget* native) {
                                         platform::markAsNonActivatingPanel(platform->connection(),
                                                                            native->winId());
                                         platform::showOnAllWorkspaces(platform->connection(),
                                                                       native->winId());
                                     });
                    return window;
                },
                [&accessibility](qint32 pid) { return accessibility.toolbarRects(pid); },
                platform->screens(),
                scheduler,
                &platform->workspace(),
                &translation,
            });
        },
        [&] {
            return std::make_unique<SelectionMonitor>(
                capture, accessibility, scheduler, clipboardLease,
                CaptureFilter{ownID, [&prefs](const QString& id) { return prefs.isIgnored(id); }},
                &ownWrites);
        },
        ownID,
        QString::fromUtf8(deployment::appVersion),
        [&autostart] { autostart.setEnabled(true); },
        [&platform](QuickAction action) { return platform->actionHotKey(action); },
        [&] {
            return std::make_unique<QuickActionFlow>(QuickActionFlow::Dependencies{
                engines,
                replacer,
                prefs,
                keys,
                scheduler,
                platform->screens(),
                [&platform](QuickActionFlow& flow) -> std::unique_ptr<PanelWindow> {
                    auto card = std::make_unique<ActionCardWindow>(flow);
                    QObject::connect(card.get(), &ActionCardWindow::nativeWindowReady, card.get(),
                                     [&platform](QWidget* native) {
                                         platform::markAsNonActivatingPanel(platform->connection(),
                                                                            native->winId());
                                         platform::showOnAllWorkspaces(platform->connection(),
                                                                       native->winId());
                                     });
                    return card;
                },
            });
        },
    });
    QObject::connect(&bus, &platform::ApplicationBus::actionRequested, &delegate,
                     &AppDelegate::activateAction);

    QObject::connect(app.get(), &QCoreApplication::aboutToQuit, &delegate,
                     [&delegate] { delegate.shutDown(); });
    delegate.start();
    reportHolder(*platform, shortcutHolder);
    if (!request.action.isEmpty())
        delegate.activateAction(request.action);
    return QApplication::exec();
}
