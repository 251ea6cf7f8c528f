#pragma once

#include "support/e2e_session.h"

#include "platform/accessibility_services.h"

#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <ostream>

namespace ovra::e2e {

// A desktop application that is not ours, as an end-to-end target: how to start it on a file.
// Another application is one more row of realApplications().
struct RealApplicationKind {
    QString name;          // for test names: letters and digits only
    QString program;       // looked up in PATH
    QStringList arguments; // "{file}" stands for the file it opens, "{dir}" for a private folder
    // The file's name and what it holds around the text ("{text}", HTML-escaped for .html);
    // its window's title must contain "text.txt".
    QString fileName = QStringLiteral("text.txt");
    QString document = QStringLiteral("{text}");
    QList<std::pair<QString, QByteArray>> setupFiles = {}; // written under {dir} first
    QStringList environment = {};                          // "NAME=value", "{dir}" as above
    // Whether another program can change its text over the accessibility bus.
    bool takesAccessibilityWrites = true;
    // Whether its character boxes are where its glyphs are, so that the pointer can find a word.
    bool placesCharacters = true;
};
const QList<RealApplicationKind>& realApplications();
// Its name, as test output shows a row.
inline void PrintTo(const RealApplicationKind& kind, std::ostream* out) {
    *out << kind.name.toStdString();
}

// One real application under the headless session, started on a file holding `text`: its window,
// its text element as the accessibility bus shows it, and its process to stop and continue.
class RealApplication {
public:
    RealApplication(RealApplicationKind kind, const QString& text);
    ~RealApplication(); // continues a stopped process, then ends it
    RealApplication(const RealApplication&) = delete;
    RealApplication& operator=(const RealApplication&) = delete;

    // Starts it and waits for its window; false when it did not come up.
    bool start();
    // The process that owns its window, once it has one.
    qint32 pid() const { return m_pid; }
    const QString& windowId() const { return m_windowId; }
    const RealApplicationKind& kind() const { return m_kind; }
    // Activates its window and waits until the window manager reports it active.
    bool activate();
    // Its focused text element; null when it does not show one in time.
    AccessibleElement textElement(AccessibilityServices& ax);
    // SIGSTOP and SIGCONT, as a hung application and one that recovered.
    void suspend();
    void resume();

private:
    RealApplicationKind m_kind;
    QString m_text;
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_windowId;
    qint32 m_pid = 0;
    bool m_suspended = false;
};

} // namespace ovra::e2e
