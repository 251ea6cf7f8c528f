#pragma once

#include "capture/accessibility_thread.h"
#include "platform/linux/qt/device_pixels.h"
#include "platform/linux/wayland/active_window.h"

#include <QObject>
#include <QThread>
#include <memory>

namespace ovra::platform {

// The program's one accessibility thread: libatspi is not thread-safe, so every call to it, its
// event listeners and its D-Bus connection live on this thread with their own GLib main context.
// The services are created there on first use. Each call to an application waits at most
// perCallTimeout (startupGrace for an application that has just started).
class AtspiAccessibilityThread final : public AccessibilityThread {
public:
    static constexpr int perCallTimeoutMs = 1000;
    static constexpr int startupGraceMs = 2000;

    // `pixels`: the screens' scaling as the UI thread sees it (Qt's screens are not for this
    // thread). `waylandWindows`, in a Wayland session: where the compositor has the active window
    // (applications there report their extents within their window); X11 is asked otherwise.
    // Makes the program's Q*Application with Qt's own event loop for the UI thread. libatspi
    // first attaches each new application connection to GLib's default context, and this thread
    // moves it home afterwards; Qt's GLib loop would meanwhile have the UI thread dispatch that
    // context, which races the move (libdbus then aborts) and runs libatspi's handlers beside this
    // thread. Threads started later, this one among them, still get a GLib loop of their own.
    template <typename Application>
    static std::unique_ptr<Application> makeUiApplication(int& argc, char** argv) {
        qputenv("QT_NO_GLIB", "1");
        auto application = std::make_unique<Application>(argc, argv);
        qunsetenv("QT_NO_GLIB");
        return application;
    }

    explicit AtspiAccessibilityThread(
        DevicePixels pixels, std::shared_ptr<const ActiveWindowStore> waylandWindows = nullptr);
    // Waits for the job running now (bounded by the time-outs) and drops the rest.
    ~AtspiAccessibilityThread() override;
    AtspiAccessibilityThread(const AtspiAccessibilityThread&) = delete;
    AtspiAccessibilityThread& operator=(const AtspiAccessibilityThread&) = delete;

    void post(Job job, std::function<void()> done) override;
    // The screens or their scaling changed; later jobs convert with `pixels`.
    void setDevicePixels(DevicePixels pixels);
    // Calls `handler` on the posting thread with the process of each selection change another
    // application reports.
    void setOnSelectionChanged(std::function<void(qint32 pid)> handler);
    // Calls `handler` on the posting thread with the process of each window an application
    // reports as activated.
    void setOnWindowActivated(std::function<void(qint32 pid)> handler);

private:
    struct Resources;
    // Accessibility thread only.
    Resources& resources();

    DevicePixels m_initialPixels;
    std::shared_ptr<const ActiveWindowStore> m_waylandWindows;
    QThread m_thread;
    QObject* m_anchor = nullptr;            // lives on the accessibility thread
    QObject m_home;                         // lives on the posting thread; receives the completions
    std::unique_ptr<Resources> m_resources; // created and destroyed on the accessibility thread
};

} // namespace ovra::platform
