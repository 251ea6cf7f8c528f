#include "support/e2e_session.h"

#include "platform/accessibility_services.h"
#include "platform/linux/x11/x11_connection.h"
#include "support/accessible_tree.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTimer>

namespace ovra::e2e {

using namespace Qt::StringLiterals;

namespace {
platform::X11Connection* drained = nullptr;

QString readText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void setFlag(const QString& path, bool on) {
    if (on)
        writeFile(path, {});
    else
        QFile::remove(path);
}
} // namespace

bool writeFile(const QString& path, const QByteArray& contents) {
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) &&
           file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(contents) == contents.size();
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

ToolResult runTool(const QString& program, const QStringList& arguments, const QByteArray& input,
                   const QProcessEnvironment& environment) {
    QProcess process;
    if (!environment.isEmpty())
        process.setProcessEnvironment(environment);
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
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

bool xdotool(const QString& arguments) {
    return runTool(u"xdotool"_s, arguments.split(u' ', Qt::SkipEmptyParts)).exitCode == 0;
}

QString readSelection(const QString& selection, const QString& type) {
    QStringList arguments{u"-o"_s, u"-selection"_s, selection};
    if (!type.isEmpty())
        arguments << u"-t"_s << type;
    return runTool(u"xclip"_s, arguments).output;
}

bool holdClipboard(QProcess& owner, const QByteArray& text) {
    owner.start(u"xclip"_s, {u"-quiet"_s, u"-selection"_s, u"clipboard"_s, u"-i"_s});
    if (!owner.waitForStarted())
        return false;
    owner.write(text);
    owner.closeWriteChannel();
    return waitUntil([&] { return readSelection(u"clipboard"_s).toUtf8() == text; });
}

bool activateWindow(const QString& windowId) {
    if (windowId.isEmpty())
        return false;
    return waitUntil(
        [&] {
            if (activeWindow() == windowId)
                return true;
            xdotool(u"windowactivate "_s + windowId);
            return false;
        },
        5s);
}

QString activeWindow() {
    const ToolResult active = runTool(u"xdotool"_s, {u"getactivewindow"_s});
    return active.exitCode == 0 ? active.output.trimmed() : QString();
}

QString visibleWindowOf(qint64 pid, const QString& name) {
    const ToolResult found =
        runTool(u"xdotool"_s, {u"search"_s, u"--all"_s, u"--onlyvisible"_s, u"--pid"_s,
                               QString::number(pid), u"--name"_s, name});
    return found.exitCode == 0 ? found.output.section(u'\n', 0, 0).trimmed() : QString();
}

QRect clientGeometry(const QString& windowId) {
    const QString info = runTool(u"xwininfo"_s, {u"-id"_s, windowId}).output;
    const auto value = [&](const QString& key) {
        return QRegularExpression(key + u":\\s*(-?\\d+)"_s).match(info).captured(1).toInt();
    };
    return {value(u"Absolute upper-left X"_s), value(u"Absolute upper-left Y"_s), value(u"Width"_s),
            value(u"Height"_s)};
}

void stopProcess(QProcess& process) {
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(1000);
    }
}

namespace {
// A call on the accessibility switch's property, through gdbus as another program would make it.
ToolResult callAccessibilitySwitch(const QString& method, const QStringList& value = {}) {
    return runTool(u"gdbus"_s, QStringList{u"call"_s, u"--session"_s, u"-d"_s, u"org.a11y.Bus"_s,
                                           u"-o"_s, u"/org/a11y/bus"_s, u"-m"_s,
                                           u"org.freedesktop.DBus.Properties."_s + method,
                                           u"org.a11y.Status"_s, u"IsEnabled"_s} +
                                   value);
}
} // namespace

std::optional<bool> accessibilitySwitch() {
    const ToolResult got = callAccessibilitySwitch(u"Get"_s);
    return got.exitCode == 0 ? std::optional<bool>(got.output.contains(u"true")) : std::nullopt;
}

bool setAccessibilitySwitch(bool on) {
    return callAccessibilitySwitch(u"Set"_s, {on ? u"<true>"_s : u"<false>"_s}).exitCode == 0;
}

AccessibleElement focusedElementOf(AccessibilityServices& ax, qint32 pid,
                                   const std::function<bool(const AccessibleElement&)>& holds,
                                   std::chrono::milliseconds timeout) {
    AccessibleElement found;
    waitUntil(
        [&] {
            const AccessibleElement application = ax.applicationElement(pid);
            const auto focused =
                application ? ax.focusedElement(application) : AccessResult<AccessibleElement>{};
            found = focused.ok() && focused.value && (!holds || holds(focused.value))
                        ? focused.value
                        : AccessibleElement();
            return !found.isNull();
        },
        timeout);
    return found;
}

bool onWayland() {
    return qEnvironmentVariable("XDG_SESSION_TYPE") == u"wayland";
}

TargetApp::TargetApp(Kind kind, QString title, QString secondTitle, QString program)
    : m_kind(kind), m_title(std::move(title)), m_secondTitle(std::move(secondTitle)),
      m_program(std::move(program)) {}

TargetApp::~TargetApp() {
    stopProcess(m_process);
}

bool TargetApp::start() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const bool wayland = onWayland();
    if (wayland) {
        environment.insert(u"GDK_BACKEND"_s, u"wayland"_s);
        environment.insert(u"QT_QPA_PLATFORM"_s, u"wayland"_s);
    }
    // Our targets write their text here; the editor opens it, holding what our targets show.
    const QString state = m_dir.filePath(u"text"_s);
    QString program = m_program.isEmpty() ? QStringLiteral(OVRA_QT_TARGET) : m_program;
    QStringList arguments{m_title, state};
    if (m_kind == Kind::Gtk) {
        program = u"/usr/bin/python3"_s;
        arguments.prepend(QStringLiteral(OVRA_GTK_TARGET));
        if (!m_secondTitle.isEmpty())
            arguments.append(m_secondTitle);
    } else if (m_kind == Kind::GnomeTextEditor) {
        if (!writeFile(state, initialText.toUtf8()))
            return false;
        // Settings and restored sessions of an earlier start stay apart.
        for (const QString& folder : {u"XDG_CONFIG_HOME"_s, u"XDG_DATA_HOME"_s})
            environment.insert(folder, m_dir.filePath(folder));
        program = u"gnome-text-editor"_s;
        arguments = QStringList{u"--standalone"_s, state};
    }
    m_process.setProcessEnvironment(environment);
    m_process.start(program, arguments);
    if (!m_process.waitForStarted(5000))
        return false;
    const auto shown = [&] {
        if (m_process.state() != QProcess::Running || !QFile::exists(state))
            return false;
        if (wayland)
            return m_kind == Kind::GnomeTextEditor ? reportedText().contains(u"naïve")
                                                   : bool(textViewOf(pid()));
        m_windowId = visibleWindowOf(pid(), u'^' + m_title + u'$');
        if (!m_secondTitle.isEmpty())
            m_secondWindowId = visibleWindowOf(pid(), u'^' + m_secondTitle + u'$');
        return !m_windowId.isEmpty() && (m_secondTitle.isEmpty() || !m_secondWindowId.isEmpty());
    };
    return waitUntil(shown, 30s);
}

qint32 TargetApp::pid() const {
    return static_cast<qint32>(m_process.processId());
}

bool TargetApp::activate() {
    return activateWindow(m_windowId);
}

void TargetApp::refuseAccessibilityWrites(bool refuse) {
    setFlag(m_dir.filePath(u"refuse-writes"_s), refuse);
}

void TargetApp::slowPaste(bool slow) {
    setFlag(m_dir.filePath(u"slow-paste"_s), slow);
}

QString TargetApp::reportedText() const {
    if (m_kind == Kind::GnomeTextEditor)
        return textOf(textViewOf(pid()));
    return readText(m_dir.filePath(u"text"_s));
}

QString TargetApp::reportedSecondText() const {
    return readText(m_dir.filePath(u"text.second"_s));
}

} // namespace ovra::e2e
