#pragma once

#include "capture/accessibility_thread.h"
#include "platform/linux/qt/device_pixels.h"

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
    // thread).
    explicit AtspiAccessibilityThread(DevicePixels pixels);
    // Waits for the job running now (bounded by the time-outs) and drops the rest.
    ~AtspiAccessibilityThread() override;
    AtspiAccessibilityThread(const AtspiAccessibilityThread&) = delete;
    AtspiAccessibilityThread& operator=(const AtspiAccessibilityThread&) = delete;

    void post(Job job, std::function<void()> done) override;
    // The screens or their scaling changed; later jobs convert with `pixels`.
    void setDevicePixels(DevicePixels pixels);

private:
    struct Resources;
    // Accessibility thread only.
    Resources& resources();

    DevicePixels m_initialPixels;
    QThread m_thread;
    QObject* m_anchor = nullptr;            // lives on the accessibility thread
    QObject m_home;                         // lives on the posting thread; receives the completions
    std::unique_ptr<Resources> m_resources; // created and destroyed on the accessibility thread
};

} // namespace ovra::platform
