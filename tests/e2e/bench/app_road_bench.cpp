// Figures of the real program on the private desktop, printed, never asserted:
//  - selection to panel: from the mouse-up that ends a selection in the GTK application to the
//    panel window being mapped, minus the 120 ms the program waits after a gesture on purpose;
//    median and 95th percentile;
//  - idle: the program's CPU time and context switches over a quiet minute;
//  - resident memory after start, after the first panel, and after many show/hide cycles;
//  - round trips: method calls the program sends to the application per automatic capture (read
//    off the accessibility bus with dbus-monitor), over the first selections. GTK applications
//    answer over a direct connection the bus does not see: they count 0 here.
// Run inside the headless session:
//   tests/e2e/run-headless.sh -- <build>/tests/e2e/bench_e2e_app_road [IDLE_S [SAMPLES [CYCLES]]]
// (defaults 60, 50, 500). OVRA_BENCH_TARGET picks the application: gtk (default), qt, or the name
// of a row of realApplications() (Mousepad).
#include "app/ovra_app.h"
#include "platform/desktop_fixture.h"
#include "platform/linux/atspi/atspi_element.h"
#include "support/real_application.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <poll.h>
#include <unistd.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace ovra::e2e {
void releaseDesktop();
}

namespace {

using namespace ovra;
using namespace ovra::e2e;
using Clock = std::chrono::steady_clock;

constexpr double debounceMs = 120;

void say(const QString& text) {
    std::fputs(qPrintable(text + u'\n'), stdout);
    std::fflush(stdout);
}

// Fields of /proc/PID/status summed over the process's threads, or read from the process.
long statusField(qint32 pid, const QString& field, bool allThreads) {
    QStringList files;
    if (allThreads) {
        const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
        for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            files.append(tasks.filePath(task + QStringLiteral("/status")));
    } else {
        files.append(QStringLiteral("/proc/%1/status").arg(pid));
    }
    long total = 0;
    for (const QString& path : files) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
        for (const QString& line : lines)
            if (line.startsWith(field + u':'))
                total += line.section(u':', 1).trimmed().section(u' ', 0, 0).toLong();
    }
    return total;
}

// User plus system CPU time of the process, in milliseconds.
double cpuMilliseconds(qint32 pid) {
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QString stat = QString::fromUtf8(file.readAll());
    // After the command name in parentheses: state is field 3; utime 14, stime 15.
    const QStringList fields = stat.mid(stat.lastIndexOf(u')') + 2).split(u' ');
    const double ticks = fields.value(11).toDouble() + fields.value(12).toDouble();
    return ticks * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

double percentile(std::vector<double> values, double p) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto index = std::size_t(
        std::clamp(p * double(values.size() - 1) + 0.5, 0.0, double(values.size() - 1)));
    return values[index];
}

// Waits for a MapNotify or UnmapNotify of `window`; the time it arrived, or nothing.
std::optional<Clock::time_point> waitForMapping(Display* display, Window window, int type,
                                                std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == type && event.xany.window == window)
                return Clock::now();
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return std::nullopt;
        pollfd fd{ConnectionNumber(display), POLLIN, 0};
        poll(&fd, 1, int(left.count()));
    }
}

// The accessibility bus's address, asked of the session bus.
QString accessibilityBusAddress() {
    const ToolResult reply =
        runTool(QStringLiteral("dbus-send"),
                {QStringLiteral("--session"), QStringLiteral("--print-reply=literal"),
                 QStringLiteral("--dest=org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                 QStringLiteral("org.a11y.Bus.GetAddress")});
    return reply.output.trimmed();
}

// Method calls on the accessibility bus addressed to one connection, counted off dbus-monitor.
class CallCounter {
public:
    explicit CallCounter(QString destination) : m_destination(std::move(destination)) {
        // Line-buffered: dbus-monitor holds a pipe's output back otherwise.
        m_monitor.start(QStringLiteral("stdbuf"),
                        {QStringLiteral("-oL"), QStringLiteral("dbus-monitor"),
                         QStringLiteral("--address"), accessibilityBusAddress(),
                         QStringLiteral("--profile"), QStringLiteral("type='method_call'")});
        m_monitor.waitForStarted(3000);
        waitUntil([] { return false; }, 500ms);
        take();
    }
    ~CallCounter() {
        m_monitor.kill();
        m_monitor.waitForFinished(1000);
    }
    // Calls seen since the last take().
    int take() {
        waitUntil([] { return false; }, 200ms);
        m_buffer += QString::fromUtf8(m_monitor.readAllStandardOutput());
        int count = 0;
        const qsizetype lastLine = m_buffer.lastIndexOf(u'\n');
        const QStringList lines = m_buffer.left(lastLine + 1).split(u'\n', Qt::SkipEmptyParts);
        m_buffer = m_buffer.mid(lastLine + 1);
        for (const QString& line : lines) {
            const QStringList fields = line.split(u'\t');
            if (fields.value(0) == u"mc" && fields.value(4) == m_destination)
                ++count;
        }
        return count;
    }

private:
    QString m_destination;
    QProcess m_monitor;
    QString m_buffer;
};

struct Word {
    QRectF first, last; // its first and last characters
};

void press(Display* display, const QPointF& at) {
    XTestFakeMotionEvent(display, -1, qRound(at.x()), qRound(at.y()), CurrentTime);
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XFlush(display);
}

void drag(Display* display, const Word& word) {
    const int y = qRound(word.first.center().y());
    XTestFakeMotionEvent(display, -1,
                         qRound((word.first.center().x() + word.last.center().x()) / 2), y,
                         CurrentTime);
    XTestFakeMotionEvent(display, -1, qRound(word.last.right() - word.last.width() / 4), y,
                         CurrentTime);
    XSync(display, False);
}

int run(int idleSeconds, int samples, int cycles) {
    FakeChatService chat(QStringLiteral("ingênuo"));
    OvraProcess ovra({chat.baseURL(), {}});
    if (!ovra.start()) {
        say(QStringLiteral("Ovra did not start"));
        return 1;
    }
    const qint32 pid = ovra.pid();
    const QString targetName = qEnvironmentVariable("OVRA_BENCH_TARGET", QStringLiteral("gtk"));
    std::unique_ptr<RealApplication> real;
    for (const RealApplicationKind& kind : realApplications()) {
        if (kind.name.compare(targetName, Qt::CaseInsensitive) == 0)
            real = std::make_unique<RealApplication>(
                kind, QStringLiteral("Olá café naïve text here.\nSegunda linha.\n"));
    }
    if (real && !real->start())
        return 1;
    TargetApp* target = real ? nullptr : (targetName == u"qt" ? &qtTarget() : &gtkTarget());
    const qint32 targetPid = real ? real->pid() : target->pid();
    if (!(real ? real->activate() : target->activate()))
        return 1;
    say(QStringLiteral("target: %1").arg(targetName));

    waitUntil([] { return false; }, 1s); // the program settles after start
    const long rssStart = statusField(pid, QStringLiteral("VmRSS"), false);
    say(QStringLiteral("resident memory after start: %1 MB")
            .arg(double(rssStart) / 1024.0, 0, 'f', 1));

    // Idle: nothing happens on the desktop for a while.
    const double cpuBefore = cpuMilliseconds(pid);
    const long switchesBefore =
        statusField(pid, QStringLiteral("voluntary_ctxt_switches"), true) +
        statusField(pid, QStringLiteral("nonvoluntary_ctxt_switches"), true);
    const auto idleStart = Clock::now();
    while (Clock::now() - idleStart < std::chrono::seconds(idleSeconds))
        ::usleep(200000);
    const double cpuIdle = cpuMilliseconds(pid) - cpuBefore;
    const long switchesIdle = statusField(pid, QStringLiteral("voluntary_ctxt_switches"), true) +
                              statusField(pid, QStringLiteral("nonvoluntary_ctxt_switches"), true) -
                              switchesBefore;
    say(QStringLiteral("idle %1 s: CPU time %2 ms, context switches (all threads) %3")
            .arg(idleSeconds)
            .arg(cpuIdle, 0, 'f', 1)
            .arg(switchesIdle));

    // Two words of the first line to select in turn, so the selection always differs from the
    // last one closed; the panel opens beside that line and never covers them.
    auto& ax = desktop().accessibility();
    AccessibleElement element;
    waitUntil([&] {
        const auto focused = ax.focusedElement(ax.applicationElement(targetPid));
        element = focused.ok() ? focused.value : AccessibleElement();
        return !element.isNull();
    });
    const auto text = ax.value(element);
    if (!text.ok())
        return 1;
    std::vector<Word> words;
    for (const QString& word : {QStringLiteral("naïve"), QStringLiteral("here")}) {
        const qsizetype at = text.value.indexOf(word);
        const auto first = ax.boundsForRange(element, TextRange{at, 1});
        const auto last = ax.boundsForRange(element, TextRange{at + word.size() - 1, 1});
        if (!first.ok() || !last.ok())
            return 1;
        words.push_back({first.value, last.value});
    }

    // The first panel (the program may need its first gesture to find its monitors running).
    const bool first = waitUntil(
        [&] {
            xdotool({QStringLiteral("key"), QStringLiteral("ctrl+Home")});
            return dragAcross(words[0].first, words[0].last) && ovra.waitForPanel(1500ms);
        },
        10s);
    if (!first) {
        say(QStringLiteral("no panel"));
        return 1;
    }
    const long rssPanel = statusField(pid, QStringLiteral("VmRSS"), false);
    say(QStringLiteral("resident memory after the first panel: %1 MB")
            .arg(double(rssPanel) / 1024.0, 0, 'f', 1));

    const ToolResult found =
        runTool(QStringLiteral("xdotool"),
                {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                 QString::number(pid), QStringLiteral("--name"), QStringLiteral("^Ovra$")});
    const Window panel = found.output.section(u'\n', 0, 0).trimmed().toULong();
    Display* display = XOpenDisplay(nullptr);
    if (!display || !panel)
        return 1;
    XSelectInput(display, panel, StructureNotifyMask);
    XSync(display, False);

    // One selection: press (which dismisses the shown panel), drag, and release; the time from
    // the release to the panel's map, or nothing when it did not come.
    std::size_t next = 1;
    int missed = 0;
    bool shown = true;
    const auto oneSelection = [&]() -> std::optional<double> {
        const Word& word = words[next % words.size()];
        ++next;
        press(display,
              QPointF(word.first.left() + word.first.width() / 4, word.first.center().y()));
        if (shown)
            waitForMapping(display, panel, UnmapNotify, 2s);
        shown = false;
        drag(display, word);
        const auto released = Clock::now();
        XTestFakeButtonEvent(display, 1, False, CurrentTime);
        XFlush(display);
        const auto mapped = waitForMapping(display, panel, MapNotify, 3s);
        if (!mapped)
            return std::nullopt;
        shown = true;
        return std::chrono::duration<double, std::milli>(*mapped - released).count();
    };

    // Round trips of the first selections, while nothing else asks the application anything.
    if (AtspiAccessible* accessible = platform::AtspiElementHandle::of(element);
        accessible && ATSPI_OBJECT(accessible)->app) {
        CallCounter counter(QString::fromUtf8(ATSPI_OBJECT(accessible)->app->bus_name));
        QList<int> counts;
        for (int i = 0; i < 6; ++i) {
            counter.take();
            if (oneSelection())
                counts.append(counter.take());
        }
        say(QStringLiteral("round trips to the application per automatic capture: %1").arg([&] {
            QStringList parts;
            for (int count : counts)
                parts.append(QString::number(count));
            return parts.join(u' ');
        }()));
    }

    std::vector<double> latencies;
    for (int i = 0; i < samples; ++i) {
        if (const auto ms = oneSelection())
            latencies.push_back(*ms - debounceMs);
        else
            ++missed;
    }
    say(QStringLiteral("selection to panel, minus the %1 ms wait, over %2 selections (%3 missed): "
                       "median %4 ms, p95 %5 ms, min %6 ms, max %7 ms")
            .arg(debounceMs)
            .arg(latencies.size())
            .arg(missed)
            .arg(percentile(latencies, 0.5), 0, 'f', 1)
            .arg(percentile(latencies, 0.95), 0, 'f', 1)
            .arg(latencies.empty() ? 0 : *std::min_element(latencies.begin(), latencies.end()), 0,
                 'f', 1)
            .arg(latencies.empty() ? 0 : *std::max_element(latencies.begin(), latencies.end()), 0,
                 'f', 1));

    const long rssBeforeCycles = statusField(pid, QStringLiteral("VmRSS"), false);
    missed = 0;
    for (int i = 0; i < cycles; ++i)
        if (!oneSelection())
            ++missed;
    const long rssAfterCycles = statusField(pid, QStringLiteral("VmRSS"), false);
    say(QStringLiteral("resident memory before %1 show/hide cycles: %2 MB, after: %3 MB "
                       "(%4 cycles missed)")
            .arg(cycles)
            .arg(double(rssBeforeCycles) / 1024.0, 0, 'f', 1)
            .arg(double(rssAfterCycles) / 1024.0, 0, 'f', 1)
            .arg(missed));
    XCloseDisplay(display);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const int idle = arguments.size() > 1 ? arguments.at(1).toInt() : 60;
    const int samples = arguments.size() > 2 ? arguments.at(2).toInt() : 50;
    const int cycles = arguments.size() > 3 ? arguments.at(3).toInt() : 500;
    const int status = run(idle, samples, cycles);
    releaseDesktop();
    return status;
}
