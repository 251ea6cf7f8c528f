#include "support/real_application.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
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
        // Gecko: a page with a focused text area, in a profile of its own without first-run pages.
        {QStringLiteral("FirefoxEsr"),
         QStringLiteral("firefox-esr"),
         {QStringLiteral("--no-remote"), QStringLiteral("--profile"),
          QStringLiteral("{dir}/profile"), QStringLiteral("{file}")},
         QStringLiteral("text.html"),
         QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>text.txt</title>"
                        "</head><body><textarea autofocus rows=\"8\" cols=\"60\">{text}</textarea>"
                        "</body></html>"),
         {{QStringLiteral("profile/user.js"),
           "user_pref(\"browser.shell.checkDefaultBrowser\", false);\n"
           "user_pref(\"browser.startup.homepage_override.mstone\", \"ignore\");\n"
           "user_pref(\"browser.aboutwelcome.enabled\", false);\n"
           "user_pref(\"datareporting.policy.dataSubmissionEnabled\", false);\n"
           "user_pref(\"toolkit.telemetry.reportingpolicy.firstRun\", false);\n"
           "user_pref(\"browser.sessionstore.resume_from_crash\", false);\n"
           "user_pref(\"app.update.auto\", false);\n"}},
         {QStringLiteral("GNOME_ACCESSIBILITY=1"), QStringLiteral("MOZ_ENABLE_WAYLAND=0")}},
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
    const auto write = [&](const QString& relative, const QByteArray& content) {
        const QString path = m_dir.filePath(relative);
        QFile file(path);
        return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly) &&
               file.write(content) == content.size();
    };
    for (const auto& [relative, content] : m_kind.setupFiles) {
        if (!write(relative, content))
            return false;
    }
    const QString text = m_kind.fileName.endsWith(u".html") ? m_text.toHtmlEscaped() : m_text;
    QString document = m_kind.document;
    if (!write(m_kind.fileName, document.replace(QStringLiteral("{text}"), text).toUtf8()))
        return false;
    QStringList arguments = m_kind.arguments;
    arguments.replaceInStrings(QStringLiteral("{file}"), m_dir.filePath(m_kind.fileName));
    arguments.replaceInStrings(QStringLiteral("{dir}"), m_dir.path());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString& variable : m_kind.environment)
        environment.insert(variable.section(u'=', 0, 0), variable.section(u'=', 1));
    m_process.setProcessEnvironment(environment);
    m_process.start(m_kind.program, arguments);
    if (!m_process.waitForStarted(5000))
        return false;
    // Its document window: the visible one whose title names the file.
    const bool shown = waitUntil(
        [&] {
            const ToolResult found = runTool(
                QStringLiteral("xdotool"),
                {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                 QString::number(pid()), QStringLiteral("--name"), QStringLiteral("text.txt")});
            m_windowId = found.output.section(u'\n', 0, 0).trimmed();
            return found.exitCode == 0 && !m_windowId.isEmpty();
        },
        30s);
    // One size for every application, none covering the screen (and the others' windows).
    return shown &&
           runTool(QStringLiteral("xdotool"), {QStringLiteral("windowsize"), m_windowId,
                                               QStringLiteral("900"), QStringLiteral("600")})
                   .exitCode == 0;
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
