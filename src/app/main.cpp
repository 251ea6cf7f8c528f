#include "app/app_delegate.h"
#include "app/widgets/app_windows.h"
#include "capture/accessibility_capture.h"
#include "capture/selection_monitor.h"
#include "engines/http_request.h"
#include "engines/local_model/local_model_client.h"
#include "ondevice/apertium/apertium_translation_service.h"
#include "ondevice/apertium/language_detector.h"
#include "ondevice/packagekit/packagekit_client.h"
#include "ovra/deployment_config.h"
#include "panel/panel_controller.h"
#include "panel/replacer.h"
#include "panel/router_panel_engines.h"
#include "panel/widgets/floating_panel_window.h"
#include "platform/linux/atspi_accessibility_thread.h"
#include "platform/linux/linux_platform.h"
#include "platform/linux/x11/x11_panel_window.h"
#include "settings/key_store.h"
#include "settings/prefs.h"
#include "support/timer_scheduler.h"

#include <QApplication>
#include <QNetworkAccessManager>
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

} // namespace

int main(int argc, char** argv) {
    using namespace ovra;
    if (!x11DisplayAvailable())
        return noDisplay();
    // The capture, the hot key and the panel placement all speak X11, so Qt must too.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ovra"));
    QApplication::setDesktopFileName(QLatin1String(deployment::appId));
    QApplication::setApplicationVersion(QLatin1String(deployment::appVersion));
    QApplication::setQuitOnLastWindowClosed(false);

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
        self && !self->bundleID.isEmpty())
        ownID = self->bundleID;

    // Other applications' elements are read and written on a thread of their own; the UI thread
    // only awaits the answers.
    platform::AtspiAccessibilityThread accessibilityThread;
    AccessibilityCapture accessibility(accessibilityThread, platform->workspace(),
                                       platform->screens(), scheduler);
    CapturePlatform capture = platform->capturePlatform();
    auto engines = std::make_shared<RouterPanelEngines>(prefs, keys, http, localModel);
    PlatformTextReplacing replacer(ReplacementPlatform{
        accessibility, platform->clipboard(), platform->workspace(), platform->keys(), scheduler});

    AppWindows windows(AppWindows::Dependencies{
        prefs,
        keys,
        scheduler,
        translation,
        {},
        [] { QApplication::quit(); },
    });

    AppDelegate delegate(AppDelegate::Dependencies{
        prefs,
        keys,
        scheduler,
        platform->workspace(),
        platform->accessibility(),
        platform->hotKey(),
        windows,
        [&] {
            return std::make_unique<PanelController>(PanelController::Dependencies{
                [&] {
                    return std::make_unique<PanelViewModel>(engines, replacer, capture.clipboard,
                                                            prefs, keys, scheduler);
                },
                [&](PanelViewModel& model) -> std::unique_ptr<PanelWindow> {
                    auto window = std::make_unique<FloatingPanelWindow>(model, &translation);
                    window->onNativeWindowReady = [&platform](QWidget* native) {
                        platform::markAsNonActivatingPanel(platform->connection(), native->winId());
                        platform::showOnAllWorkspaces(platform->connection(), native->winId());
                    };
                    return window;
                },
                [&accessibility](qint32 pid) { return accessibility.toolbarRects(pid); },
                platform->screens(),
                scheduler,
            });
        },
        [&] {
            return std::make_unique<SelectionMonitor>(
                capture, accessibility, scheduler,
                CaptureFilter{ownID, [&prefs](const QString& id) { return prefs.isIgnored(id); }});
        },
        ownID,
        QString::fromUtf8(deployment::appVersion),
    });

    QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate,
                     [&delegate] { delegate.applicationWillTerminate(); });
    delegate.applicationDidFinishLaunching();
    return QApplication::exec();
}
