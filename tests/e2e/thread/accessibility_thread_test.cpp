// The accessibility thread reads other applications while this thread waits in Qt's GLib loop
// (the program's UI thread runs Qt's own loop, but nothing may rely on that). libatspi reaches a
// GTK application over a direct connection of its own and hands that connection to the default
// GLib context, which this thread runs; were it left there, this thread would take the replies
// the accessibility thread waits for, and the reads would run into their time-out.
#include "platform/desktop_fixture.h"
#include "platform/linux/session/atspi_accessibility_thread.h"

#include <QEventLoop>
#include <QTimer>
#include <atomic>

namespace ovra::e2e {
namespace {

TEST(AccessibilityThread, ReadsOfAGtkApplicationNeverWaitOnTheUiLoop) {
    TargetApp& app = gtkTarget();
    ASSERT_TRUE(app.activate());
    ASSERT_TRUE(selectByKeys(wordKeystrokesIn, wordLength));
    const qint32 pid = app.pid();
    platform::AtspiAccessibilityThread thread(platform::DevicePixels::ofQtScreens());

    // One read at a time, each after the last one's answer, as captures come.
    constexpr int reads = 100;
    std::atomic<int> matched = 0;
    std::atomic<int> timedOut = 0;
    int finished = 0;
    QEventLoop loop;
    std::function<void()> readOnce = [&] {
        thread.post(
            [&, pid](AccessibilityWorker& worker) {
                BoundedAccessibility& ax = worker.accessibility();
                ax.begin(std::nullopt, nullptr);
                const auto focused = ax.focusedElement(ax.applicationElement(pid));
                if (focused.ok() && focused.value) {
                    const auto text = ax.selectedText(focused.value);
                    matched += text.ok() && text.value == u"naïve";
                }
                timedOut += ax.callTimedOut();
            },
            [&] {
                if (++finished == reads)
                    loop.quit();
                else
                    QTimer::singleShot(5ms, &loop, readOnce);
            });
    };
    readOnce();
    QTimer::singleShot(90s, &loop, &QEventLoop::quit);
    loop.exec();
    ASSERT_EQ(finished, reads);
    EXPECT_EQ(timedOut, 0) << "reads ran into the per-call time-out";
    EXPECT_EQ(matched, reads);
}

} // namespace
} // namespace ovra::e2e
