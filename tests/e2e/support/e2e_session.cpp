#include "support/e2e_session.h"

#include "platform/accessibility_services.h"
#include "platform/linux/x11/x11_connection.h"
#include "support/accessible_tree.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcessEnvironment>
#include <QTimer>

namespace ovra::e2e {

namespace {
platform::X11Connection* drained = nullptr;

QString readText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

void setFlag(const QString& path, bool on) {
    QFile flag(path);
    if (!on)
        flag.remove();
    else if (!flag.open(QIODevice::WriteOnly))
        qWarning("cannot create %s", qPrintable(flag.fileName()));
}
} // namespace

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

QString readSelection(const QString& selection, const QString& type) {
    QStringList arguments{QStringLiteral("-o"), QStringLiteral("-selection"), selection};
    if (!type.isEmpty())
        arguments << QStringLiteral("-t") << type;
    return runTool(QStringLiteral("xclip"), arguments).output;
}

bool holdClipboard(QProcess& owner, const QByteArray& text) {
    owner.start(QStringLiteral("xclip"), {QStringLiteral("-quiet"), QStringLiteral("-selection"),
                                          QStringLiteral("clipboard"), QStringLiteral("-i")});
    if (!owner.waitForStarted())
        return false;
    owner.write(text);
    owner.closeWriteChannel();
    return waitUntil([&] { return readSelection(QStringLiteral("clipboard")).toUtf8() == text; });
}

bool activateWindow(const QString& windowId) {
    if (windowId.isEmpty())
        return false;
    return waitUntil(
        [&] {
            if (activeWindow() == windowId)
                return true;
            xdotool({QStringLiteral("windowactivate"), windowId});
            return false;
        },
        5s);
}

QString activeWindow() {
    const ToolResult active =
        runTool(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")});
    return active.exitCode == 0 ? active.output.trimmed() : QString();
}

QString visibleWindowOf(qint64 pid, const QString& name) {
    const ToolResult found =
        runTool(QStringLiteral("xdotool"),
                {QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("--onlyvisible"),
                 QStringLiteral("--pid"), QString::number(pid), QStringLiteral("--name"), name});
    return found.exitCode == 0 ? found.output.section(u'\n', 0, 0).trimmed() : QString();
}

QString waitForWindow(qint64 pid, const QString& title, std::chrono::milliseconds timeout) {
    QString id;
    waitUntil([&] { return !(id = visibleWindowOf(pid, u'^' + title + u'$')).isEmpty(); }, timeout);
    return id;
}

QRect clientGeometry(const QString& windowId) {
    const ToolResult info = runTool(QStringLiteral("xwininfo"), {QStringLiteral("-id"), windowId});
    int x = 0, y = 0, width = 0, height = 0;
    const QStringList lines = info.output.split(u'\n', Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        const QString key = line.section(u':', 0, 0).trimmed();
        const int value = line.section(u':', 1).trimmed().toInt();
        if (key == u"Absolute upper-left X")
            x = value;
        else if (key == u"Absolute upper-left Y")
            y = value;
        else if (key == u"Width")
            width = value;
        else if (key == u"Height")
            height = value;
    }
    return {x, y, width, height};
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
    return runTool(QStringLiteral("gdbus"),
                   QStringList{QStringLiteral("call"), QStringLiteral("--session"),
                               QStringLiteral("-d"), QStringLiteral("org.a11y.Bus"),
                               QStringLiteral("-o"), QStringLiteral("/org/a11y/bus"),
                               QStringLiteral("-m"),
                               QStringLiteral("org.freedesktop.DBus.Properties.") + method,
                               QStringLiteral("org.a11y.Status"), QStringLiteral("IsEnabled")} +
                       value);
}
} // namespace

std::optional<bool> accessibilitySwitch() {
    const ToolResult got = callAccessibilitySwitch(QStringLiteral("Get"));
    return got.exitCode == 0 ? std::optional<bool>(got.output.contains(u"true")) : std::nullopt;
}

bool setAccessibilitySwitch(bool on) {
    return callAccessibilitySwitch(QStringLiteral("Set"),
                                   {on ? QStringLiteral("<true>") : QStringLiteral("<false>")})
               .exitCode == 0;
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
        environment.insert(QStringLiteral("GDK_BACKEND"), QStringLiteral("wayland"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    }
    // Our targets write their text here; the editor opens it, holding what our targets show.
    const QString state = m_dir.filePath(QStringLiteral("text"));
    switch (m_kind) {
    case Kind::Gtk: {
        QStringList arguments{QStringLiteral(OVRA_GTK_TARGET), m_title, state};
        if (!m_secondTitle.isEmpty())
            arguments.append(m_secondTitle);
        m_process.setProcessEnvironment(environment);
        m_process.start(QStringLiteral("/usr/bin/python3"), arguments);
        break;
    }
    case Kind::Qt:
        m_process.setProcessEnvironment(environment);
        m_process.start(m_program.isEmpty() ? QStringLiteral(OVRA_QT_TARGET) : m_program,
                        {m_title, state});
        break;
    case Kind::GnomeTextEditor: {
        QFile file(state);
        if (!file.open(QIODevice::WriteOnly) || file.write(initialText.toUtf8()) < 0)
            return false;
        // Settings and restored sessions of an earlier start stay apart.
        for (const char* folder : {"XDG_CONFIG_HOME", "XDG_DATA_HOME"})
            environment.insert(QString::fromLatin1(folder),
                               m_dir.filePath(QString::fromLatin1(folder)));
        m_process.setProcessEnvironment(environment);
        m_process.start(QStringLiteral("gnome-text-editor"),
                        {QStringLiteral("--standalone"), state});
        break;
    }
    }
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
    setFlag(m_dir.filePath(QStringLiteral("refuse-writes")), refuse);
}

void TargetApp::slowPaste(bool slow) {
    setFlag(m_dir.filePath(QStringLiteral("slow-paste")), slow);
}

QString TargetApp::reportedText() const {
    if (m_kind == Kind::GnomeTextEditor)
        return textOf(textViewOf(pid()));
    return readText(m_dir.filePath(QStringLiteral("text")));
}

QString TargetApp::reportedSecondText() const {
    return readText(m_dir.filePath(QStringLiteral("text.second")));
}

} // namespace ovra::e2e
