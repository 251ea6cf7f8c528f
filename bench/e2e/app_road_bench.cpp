// Figures of the real program on the private desktop, printed, never asserted:
//  - selection to panel: from the mouse-up that ends a selection in the GTK application to the
//    panel window being mapped, minus the 120 ms the program waits after a gesture on purpose;
//    median and 95th percentile;
//  - idle: the program's CPU time and context switches over a quiet minute;
//  - resident memory after start, after the first panel, and after many show/hide cycles;
//  - round trips: method calls the program sends from the mouse-up to the panel's map, over the
//    first selections, split into those to the application, to the accessibility registry and
//    to anyone else, with the list of the last capture's calls to the application. They are
//    counted where they leave the program (a library preloaded into it logs every method call
//    it sends): GTK applications answer over a direct connection no bus monitor sees.
// Run inside the headless session:
//   tests/e2e/run-headless.sh -- <build>/bench/e2e/bench_e2e_app_road [IDLE_S [SAMPLES [CYCLES]]]
// (defaults 60, 50, 500). OVRA_BENCH_TARGET picks the application: gtk (default), qt, or the name
// of a row of realApplications() (Mousepad).
#include "app/ovra_app.h"
#include "platform/desktop_fixture.h"
#include "platform/linux/atspi/atspi_element.h"
#include "support/real_application.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <poll.h>
#include <unistd.h>

#include <X11/Xlib.h>
// Last: Xlib's macros clash with Qt's headers.
#include "mapping_timing.h"
#include <X11/extensions/XTest.h>

namespace {

using namespace ovra;
using namespace ovra::e2e;
using namespace ovra::bench;

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

// A method call the program sent, as the preloaded call log wrote it.
struct SentCall {
    Clock::time_point at;
    QString destination;
    QString method; // interface.member
};

// Reads the lines the call log library (dbus_call_log.cpp) appends to its file.
class CallLog {
public:
    explicit CallLog(const QString& path) : m_file(path) {}
    // Calls logged since the last take().
    std::vector<SentCall> take() {
        if (!m_file.isOpen() && !m_file.open(QIODevice::ReadOnly))
            return {};
        m_buffer += m_file.readAll();
        std::vector<SentCall> calls;
        const qsizetype lastLine = m_buffer.lastIndexOf('\n');
        const QList<QByteArray> lines = m_buffer.left(lastLine + 1).split('\n');
        m_buffer = m_buffer.mid(lastLine + 1);
        for (const QByteArray& line : lines) {
            const QList<QByteArray> fields = line.split('\t');
            if (fields.size() != 3)
                continue;
            // Both sides read CLOCK_MONOTONIC, which steady_clock is on Linux.
            calls.push_back({Clock::time_point(std::chrono::nanoseconds(fields[0].toLongLong())),
                             QString::fromUtf8(fields[1]), QString::fromUtf8(fields[2])});
        }
        return calls;
    }

private:
    QFile m_file;
    QByteArray m_buffer;
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
    QTemporaryDir logDir;
    const QString callLogPath = logDir.filePath(QStringLiteral("calls.log"));
    QString preload = QStringLiteral(OVRA_DBUS_CALL_LOG_LIBRARY);
    if (const QString other = qEnvironmentVariable("LD_PRELOAD"); !other.isEmpty())
        preload += u':' + other;
    OvraProcess ovra({.chatBaseURL = chat.baseURL(),
                      .environment = {QStringLiteral("LD_PRELOAD=") + preload,
                                      QStringLiteral("OVRA_DBUS_CALL_LOG=") + callLogPath}});
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
    auto& ax = desktopAccessibility();
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
            xdotool(QStringLiteral("key ctrl+Home"));
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

    // One selection: press (which dismisses the shown panel), drag, and release; when the release
    // happened and the panel was mapped, or nothing when it did not come.
    struct Shown {
        Clock::time_point released, mapped;
        double milliseconds() const {
            return std::chrono::duration<double, std::milli>(mapped - released).count();
        }
    };
    std::size_t next = 1;
    int missed = 0;
    bool shown = true;
    const auto oneSelection = [&]() -> std::optional<Shown> {
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
        return Shown{released, *mapped};
    };

    // Round trips of the first selections, while nothing else asks the application anything.
    if (AtspiAccessible* accessible = platform::AtspiElementHandle::of(element);
        accessible && ATSPI_OBJECT(accessible)->app) {
        const QString application = QString::fromUtf8(ATSPI_OBJECT(accessible)->app->bus_name);
        const QString registry = QStringLiteral("org.a11y.atspi.Registry");
        CallLog log(callLogPath);
        QStringList toApplication, toRegistry, toOthers, lastCalls, lastOthers;
        for (int i = 0; i < 6; ++i) {
            log.take();
            const auto span = oneSelection();
            if (!span)
                continue;
            int counts[3] = {0, 0, 0};
            lastCalls.clear();
            lastOthers.clear();
            for (const SentCall& call : log.take()) {
                if (call.at < span->released || call.at > span->mapped)
                    continue;
                if (call.destination == application) {
                    ++counts[0];
                    lastCalls.append(call.method.section(u'.', -2));
                } else if (call.destination == registry) {
                    ++counts[1];
                } else {
                    ++counts[2];
                    lastOthers.append(call.destination + u' ' + call.method);
                }
            }
            toApplication.append(QString::number(counts[0]));
            toRegistry.append(QString::number(counts[1]));
            toOthers.append(QString::number(counts[2]));
        }
        say(QStringLiteral("round trips to the application per automatic capture: %1")
                .arg(toApplication.join(u' ')));
        say(QStringLiteral("method calls to the registry per capture: %1, to others: %2")
                .arg(toRegistry.join(u' '), toOthers.join(u' ')));
        say(QStringLiteral("calls to the application in the last capture: %1")
                .arg(lastCalls.join(QStringLiteral(", "))));
        say(QStringLiteral("other calls in the last capture: %1")
                .arg(lastOthers.join(QStringLiteral(", "))));
    }

    std::vector<double> latencies;
    for (int i = 0; i < samples; ++i) {
        if (const auto span = oneSelection())
            latencies.push_back(span->milliseconds() - debounceMs);
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
