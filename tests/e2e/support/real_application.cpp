#include "support/real_application.h"

#include <QFile>
#include <QProcessEnvironment>
#include <csignal>

namespace ovra::e2e {

using namespace Qt::StringLiterals;

namespace {

// Whether `pid` is `ancestor` or one of its descendants, by the parents /proc gives.
bool descendsFrom(qint32 pid, qint32 ancestor) {
    for (int hops = 0; pid > 1 && hops < 16; ++hops) {
        if (pid == ancestor)
            return true;
        QFile stat(u"/proc/%1/stat"_s.arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            return false;
        // "pid (name) state ppid ...": the name may hold spaces and parentheses.
        const QByteArray line = stat.readAll();
        pid = line.mid(line.lastIndexOf(')') + 2).split(' ').value(1).toInt();
    }
    return false;
}

} // namespace

// A page whose text area has the focus, for the browsers.
const QString textAreaPage =
    u"<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>text.txt</title>"
    "</head><body><textarea autofocus rows=\"8\" cols=\"60\">{text}</textarea>"
    "</body></html>"_s;

const QList<RealApplicationKind>& realApplications() {
    static const QList<RealApplicationKind> all{
        // A GTK 3 editor; without the server each start is a process of its own.
        {u"Mousepad"_s, u"mousepad"_s, {u"--disable-server"_s, u"{file}"_s}},
        // A GTK 4 editor: it places text only within its window and drops the focused state
        // while its window is at the back.
        {u"GnomeTextEditor"_s, u"gnome-text-editor"_s, {u"--standalone"_s, u"{file}"_s}},
        // KDE's editor on Qt 5, which draws its own text; its settings in a folder of its own.
        {u"KWrite"_s,
         u"kwrite"_s,
         {u"{file}"_s},
         u"text.txt"_s,
         u"{text}"_s,
         {},
         {u"XDG_CONFIG_HOME={dir}/config"_s, u"QT_QPA_PLATFORM=xcb"_s,
          u"QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1"_s},
         // No editable-text interface: the program's writes end in a paste.
         false,
         // Its boxes have no height and sit about 40 px right of the glyphs: words are selected
         // with the keyboard, and the panel is not placed by them.
         false},
        // Gecko: a page with a focused text area, in a profile of its own without first-run pages.
        {u"FirefoxEsr"_s,
         u"firefox-esr"_s,
         {u"--no-remote"_s, u"--profile"_s, u"{dir}/profile"_s, u"{file}"_s},
         u"text.html"_s,
         textAreaPage,
         {{u"profile/user.js"_s,
           "user_pref(\"browser.shell.checkDefaultBrowser\", false);\n"
           "user_pref(\"browser.startup.homepage_override.mstone\", \"ignore\");\n"
           "user_pref(\"browser.aboutwelcome.enabled\", false);\n"
           "user_pref(\"datareporting.policy.dataSubmissionEnabled\", false);\n"
           "user_pref(\"toolkit.telemetry.reportingpolicy.firstRun\", false);\n"
           "user_pref(\"browser.sessionstore.resume_from_crash\", false);\n"
           "user_pref(\"app.update.auto\", false);\n"}},
         {u"GNOME_ACCESSIBILITY=1"_s, u"MOZ_ENABLE_WAYLAND=0"_s},
         // A text area's editable-text calls answer success and change nothing, whatever their
         // length: the program's writes end in a paste there.
         false},
        // Chromium: the same page, its accessibility on from the start, in a profile of its own.
        // No sandbox: it refuses one to root, and CI's user is root.
        {u"Chromium"_s,
         u"chromium"_s,
         {u"--no-sandbox"_s, u"--force-renderer-accessibility"_s,
          u"--user-data-dir={dir}/profile"_s, u"--no-first-run"_s, u"--no-default-browser-check"_s,
          u"--disable-gpu"_s, u"--password-store=basic"_s, u"{file}"_s},
         u"text.html"_s,
         textAreaPage,
         {},
         {},
         // Its text area has no editable-text interface: the program's writes end in a paste.
         false},
        // LibreOffice Writer on its GTK 3 plugin: a flat document of one paragraph (a paragraph
        // is one text element), in a profile of its own that skips the first-run dialogs.
        {u"LibreOfficeWriter"_s,
         u"soffice"_s,
         {u"--writer"_s, u"--norestore"_s, u"--nologo"_s,
          u"-env:UserInstallation=file://{dir}/profile"_s, u"{file}"_s},
         u"text.txt.fodt"_s,
         u"<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document "
         "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
         "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
         "office:version=\"1.2\" office:mimetype=\"application/vnd.oasis.opendocument.text\">"
         "<office:body><office:text><text:p>{text}</text:p></office:text></office:body>"
         "</office:document>"_s,
         {{u"profile/user/registrymodifications.xcu"_s,
           "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<oor:items xmlns:oor=\"http://openoffice.org/2001/registry\">\n"
           "<item oor:path=\"/org.openoffice.Office.Common/Misc\"><prop "
           "oor:name=\"ShowTipOfTheDay\" "
           "oor:op=\"fuse\"><value>false</value></prop></item>\n"
           "<item oor:path=\"/org.openoffice.Office.Common/Misc\"><prop oor:name=\"FirstRun\" "
           "oor:op=\"fuse\"><value>false</value></prop></item>\n"
           "<item oor:path=\"/org.openoffice.Setup/Office\"><prop "
           "oor:name=\"ooSetupInstCompleted\" "
           "oor:op=\"fuse\"><value>true</value></prop></item>\n"
           "</oor:items>\n"}},
         {u"SAL_USE_VCLPLUGIN=gtk3"_s}},
    };
    return all;
}

RealApplication::RealApplication(RealApplicationKind kind, const QString& text)
    : m_kind(std::move(kind)), m_text(text) {}

RealApplication::~RealApplication() {
    if (m_process.state() == QProcess::NotRunning)
        return;
    resume();
    // A window owner the launcher started goes first: it may outlive its launcher otherwise.
    if (m_pid > 0 && m_pid != static_cast<qint32>(m_process.processId()))
        ::kill(static_cast<pid_t>(m_pid), SIGTERM);
    stopProcess(m_process);
}

bool RealApplication::start() {
    for (const auto& [relative, content] : m_kind.setupFiles) {
        if (!writeFile(m_dir.filePath(relative), content))
            return false;
    }
    QString text = m_text;
    if (m_kind.fileName.endsWith(u".html") || m_kind.fileName.endsWith(u".fodt"))
        text = text.toHtmlEscaped();
    // A line of a flat document is a break within its one paragraph.
    if (m_kind.fileName.endsWith(u".fodt"))
        text.replace(u'\n', u"<text:line-break/>"_s);
    QString document = m_kind.document;
    if (!writeFile(m_dir.filePath(m_kind.fileName), document.replace(u"{text}"_s, text).toUtf8()))
        return false;
    QStringList arguments = m_kind.arguments;
    arguments.replaceInStrings(u"{file}"_s, m_dir.filePath(m_kind.fileName));
    arguments.replaceInStrings(u"{dir}"_s, m_dir.path());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (QString variable : m_kind.environment) {
        variable.replace(u"{dir}"_s, m_dir.path());
        environment.insert(variable.section(u'=', 0, 0), variable.section(u'=', 1));
    }
    m_process.setProcessEnvironment(environment);
    m_process.start(m_kind.program, arguments);
    if (!m_process.waitForStarted(5000))
        return false;
    // Its document window: the visible one whose title names the file, of this process or of one
    // it started (a launcher script, or LibreOffice restarting itself on a new profile).
    const qint32 launched = static_cast<qint32>(m_process.processId());
    const bool shown = waitUntil(
        [&] {
            const ToolResult found = runTool(
                u"xdotool"_s, {u"search"_s, u"--onlyvisible"_s, u"--name"_s, u"text.txt"_s});
            for (const QString& window : found.output.split(u'\n', Qt::SkipEmptyParts)) {
                const qint32 owner = runTool(u"xdotool"_s, {u"getwindowpid"_s, window.trimmed()})
                                         .output.trimmed()
                                         .toInt();
                if (owner > 0 && descendsFrom(owner, launched)) {
                    m_windowId = window.trimmed();
                    m_pid = owner;
                    return true;
                }
            }
            return false;
        },
        30s);
    // One size for every application, none covering the screen (and the others' windows).
    return shown && xdotool(u"windowsize %1 900 600"_s.arg(m_windowId));
}

bool RealApplication::activate() {
    return activateWindow(m_windowId);
}

AccessibleElement RealApplication::textElement(AccessibilityServices& ax) {
    return focusedElementOf(
        ax, pid(), [&](const AccessibleElement& element) { return ax.value(element).ok(); }, 10s);
}

void RealApplication::suspend() {
    if (m_process.state() != QProcess::NotRunning && !m_suspended) {
        ::kill(static_cast<pid_t>(pid()), SIGSTOP);
        m_suspended = true;
    }
}

void RealApplication::resume() {
    if (m_process.state() != QProcess::NotRunning && m_suspended) {
        ::kill(static_cast<pid_t>(pid()), SIGCONT);
        m_suspended = false;
    }
}

} // namespace ovra::e2e
