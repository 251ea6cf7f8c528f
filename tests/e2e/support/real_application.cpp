#include "support/real_application.h"

#include <QFile>
#include <csignal>

namespace ovra::e2e {

const QList<RealApplicationKind>& realApplications() {
    static const QList<RealApplicationKind> all{
        // A GTK 3 editor; without the server each start is a process of its own.
        {QStringLiteral("Mousepad"),
         QStringLiteral("mousepad"),
         {QStringLiteral("--disable-server"), QStringLiteral("{file}")}},
        // A GTK 4 editor: it places text only within its window and drops the focused state
        // while its window is at the back.
        {QStringLiteral("GnomeTextEditor"),
         QStringLiteral("gnome-text-editor"),
         {QStringLiteral("--standalone"), QStringLiteral("{file}")}},
    };
    return all;
}

RealApplication::RealApplication(RealApplicationKind kind, const QString& text)
    : m_kind(std::move(kind)), m_text(text) {}

RealApplication::~RealApplication() {
    if (m_process.state() == QProcess::NotRunning)
        return;
    resume();
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(1000);
    }
}

bool RealApplication::start() {
    const QString path = m_dir.filePath(QStringLiteral("text.txt"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(m_text.toUtf8()) < 0)
        return false;
    file.close();
    QStringList arguments = m_kind.arguments;
    arguments.replaceInStrings(QStringLiteral("{file}"), path);
    m_process.start(m_kind.program, arguments);
    if (!m_process.waitForStarted(5000))
        return false;
    // Its document window: the visible one whose title names the file.
    return waitUntil(
        [&] {
            const ToolResult found = runTool(
                QStringLiteral("xdotool"),
                {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                 QString::number(pid()), QStringLiteral("--name"), QStringLiteral("text.txt")});
            m_windowId = found.output.section(u'\n', 0, 0).trimmed();
            return found.exitCode == 0 && !m_windowId.isEmpty();
        },
        30s);
}

bool RealApplication::activate() {
    return activateWindow(m_windowId);
}

AccessibleElement RealApplication::textElement(AccessibilityServices& ax) {
    AccessibleElement found;
    waitUntil(
        [&] {
            const AccessibleElement application = ax.applicationElement(pid());
            const auto focused =
                application ? ax.focusedElement(application) : AXResult<AccessibleElement>{};
            if (!focused.ok() || !focused.value || !ax.value(focused.value).ok())
                return false;
            found = focused.value;
            return true;
        },
        10s);
    return found;
}

void RealApplication::suspend() {
    if (m_process.state() != QProcess::NotRunning && !m_suspended) {
        ::kill(static_cast<pid_t>(m_process.processId()), SIGSTOP);
        m_suspended = true;
    }
}

void RealApplication::resume() {
    if (m_process.state() != QProcess::NotRunning && m_suspended) {
        ::kill(static_cast<pid_t>(m_process.processId()), SIGCONT);
        m_suspended = false;
    }
}

} // namespace ovra::e2e
