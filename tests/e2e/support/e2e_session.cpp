#include "support/e2e_session.h"

#include "platform/linux/x11/x11_connection.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

namespace ovra::e2e {

namespace {
platform::X11Connection* drained = nullptr;
}

void setConnectionToDrain(platform::X11Connection* connection) {
    drained = connection;
}

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    QDeadlineTimer deadline(timeout);
    for (;;) {
        if (drained)
            drained->processEvents();
        QCoreApplication::processEvents();
        if (done())
            return true;
        if (deadline.hasExpired())
            return false;
        // Sleep in the event loop until something arrives, but look again at least every 5 ms.
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

ToolResult runTool(const QString& program, const QStringList& arguments, const QByteArray& input) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(5000))
        return {};
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    // A tool may wait for our process (xclip asking for the clipboard we own), so the event loop
    // keeps running while it works.
    const bool finished = waitUntil([&] { return process.state() == QProcess::NotRunning; }, 10s);
    if (!finished) {
        process.kill();
        process.waitForFinished(1000);
        return {};
    }
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput())};
}

bool xdotool(const QStringList& arguments) {
    return runTool(QStringLiteral("xdotool"), arguments).exitCode == 0;
}

TargetApp::TargetApp(Kind kind, QString title, QString secondTitle)
    : m_kind(kind), m_title(std::move(title)), m_secondTitle(std::move(secondTitle)) {}

namespace {

// The visible window of process `pid` named `title`; empty when there is none.
QString windowNamed(qint64 pid, const QString& title) {
    const ToolResult found =
        runTool(QStringLiteral("xdotool"),
                {QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("--onlyvisible"),
                 QStringLiteral("--pid"), QString::number(pid), QStringLiteral("--name"),
                 u'^' + title + u'$'});
    return found.exitCode == 0 ? found.output.section(u'\n', 0, 0).trimmed() : QString();
}

QString readText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

} // namespace

TargetApp::~TargetApp() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(3000)) {
            m_process.kill();
            m_process.waitForFinished(1000);
        }
    }
}

bool TargetApp::start() {
    const QString state = m_dir.filePath(QStringLiteral("text"));
    if (m_kind == Kind::Gtk) {
        QStringList arguments{QStringLiteral(OVRA_GTK_TARGET), m_title, state};
        if (!m_secondTitle.isEmpty())
            arguments.append(m_secondTitle);
        m_process.start(QStringLiteral("/usr/bin/python3"), arguments);
    } else {
        m_process.start(QStringLiteral(OVRA_QT_TARGET), {m_title, state});
    }
    if (!m_process.waitForStarted(5000))
        return false;
    const bool shown = waitUntil(
        [&] {
            m_windowId = windowNamed(pid(), m_title);
            if (!m_secondTitle.isEmpty())
                m_secondWindowId = windowNamed(pid(), m_secondTitle);
            return !m_windowId.isEmpty() && QFile::exists(state) &&
                   (m_secondTitle.isEmpty() || !m_secondWindowId.isEmpty());
        },
        15s);
    return shown;
}

bool activateWindow(const QString& windowId) {
    if (windowId.isEmpty())
        return false;
    return waitUntil(
        [&] {
            const ToolResult active =
                runTool(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")});
            if (active.exitCode == 0 && active.output.trimmed() == windowId)
                return true;
            xdotool({QStringLiteral("windowactivate"), windowId});
            return false;
        },
        5s);
}

qint32 TargetApp::pid() const {
    return static_cast<qint32>(m_process.processId());
}

bool TargetApp::activate() {
    return activateWindow(m_windowId);
}

void TargetApp::refuseAccessibilityWrites(bool refuse) {
    QFile flag(m_dir.filePath(QStringLiteral("refuse-writes")));
    if (!refuse)
        flag.remove();
    else if (!flag.open(QIODevice::WriteOnly))
        qWarning("cannot create %s", qPrintable(flag.fileName()));
}

void TargetApp::slowPaste(bool slow) {
    QFile flag(m_dir.filePath(QStringLiteral("slow-paste")));
    if (!slow)
        flag.remove();
    else if (!flag.open(QIODevice::WriteOnly))
        qWarning("cannot create %s", qPrintable(flag.fileName()));
}

QString TargetApp::reportedText() const {
    return readText(m_dir.filePath(QStringLiteral("text")));
}

QString TargetApp::reportedSecondText() const {
    return readText(m_dir.filePath(QStringLiteral("text.second")));
}

QRect TargetApp::geometry() const {
    const ToolResult shell =
        runTool(QStringLiteral("xdotool"),
                {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), m_windowId});
    int x = 0, y = 0, width = 0, height = 0;
    const QStringList lines = shell.output.split(u'\n', Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        const QString key = line.section(u'=', 0, 0);
        const int value = line.section(u'=', 1).toInt();
        if (key == u"X")
            x = value;
        else if (key == u"Y")
            y = value;
        else if (key == u"WIDTH")
            width = value;
        else if (key == u"HEIGHT")
            height = value;
    }
    return {x, y, width, height};
}

} // namespace ovra::e2e
