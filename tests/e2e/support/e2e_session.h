#pragma once

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace ovra::platform {
class X11Connection;
}
namespace ovra {
class AccessibilityServices;
class AccessibleElement;
} // namespace ovra

namespace ovra::e2e {

using namespace std::chrono_literals;

// Runs the event loop (Qt's, GLib's under it, and our X connection's queue) until `done` holds
// or `timeout` passes; true when it held.
bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 5s);
// Tells waitUntil which X connection to drain as well (null for none).
void setConnectionToDrain(platform::X11Connection* connection);

struct ToolResult {
    int exitCode = -1; // also when it crashed or did not end
    QString output;
    QString errors;
};
// Writes `contents` to `path`, its folder made first; true when all of it is there.
bool writeFile(const QString& path, const QByteArray& contents);
// Runs a command-line tool of the session (xdotool, xclip), or another start of the program in
// `environment` (the session's when empty), to its end.
ToolResult runTool(const QString& program, const QStringList& arguments,
                   const QByteArray& input = {},
                   const QProcessEnvironment& environment = QProcessEnvironment());
// Shorthand for xdotool, its arguments separated by spaces; true when it succeeded.
bool xdotool(const QString& arguments);
// What another client reads from the X selection `selection` ("clipboard", "primary"), as
// `type` when one is given.
QString readSelection(const QString& selection, const QString& type = {});
// Starts `owner` as another program (xclip) holding the clipboard with `text`; true once another
// client reads it there.
bool holdClipboard(QProcess& owner, const QByteArray& text);
// Activates the X window `windowId` and waits until the window manager reports it active.
bool activateWindow(const QString& windowId);
// The id of the active X window, empty when there is none.
QString activeWindow();
// The first visible X window of process `pid` whose name matches the regular expression `name`;
// empty when there is none.
QString visibleWindowOf(qint64 pid, const QString& name);
// The X window's client area on screen (top-left coordinates). (xdotool's getwindowgeometry adds
// the window manager's frame offset once too often for reparented windows; xwininfo does not.)
QRect clientGeometry(const QString& windowId);
// Asks `process` to end, then ends it.
void stopProcess(QProcess& process);
// The desktop's accessibility switch, as org.a11y.Status on the session bus has it; nothing when
// it cannot be read.
std::optional<bool> accessibilitySwitch();
bool setAccessibilitySwitch(bool on);
// The focused element of the application of process `pid`, once `holds` is true of it (any
// focused element without it); null when there is none such within `timeout`.
AccessibleElement focusedElementOf(AccessibilityServices& ax, qint32 pid,
                                   const std::function<bool(const AccessibleElement&)>& holds = {},
                                   std::chrono::milliseconds timeout = 5s);
// Whether the session is a Wayland one (run-wayland.sh) rather than an X11 one (run-headless.sh).
bool onWayland();

// The text the target applications start with in their text view.
inline const QString initialText =
    QStringLiteral("Olá café 😀 naïve text here.\nSegunda linha com a palavra ALVO aqui.");

// A target application in its own process, with the text its text view holds as it reports it:
// one of ours (tests/e2e/targets), or GNOME's editor on a file holding the same text. In a Wayland
// session it runs as a native Wayland client.
class TargetApp {
public:
    enum class Kind { Gtk, Qt, GnomeTextEditor };
    // GTK only: with `secondTitle`, the process shows a second window like the first.
    // `program` replaces the Qt target's executable (a copy under another name).
    TargetApp(Kind kind, QString title, QString secondTitle = {}, QString program = {});
    ~TargetApp();
    TargetApp(const TargetApp&) = delete;
    TargetApp& operator=(const TargetApp&) = delete;

    // Starts the application and waits for its window (X11) or its text on the accessibility
    // bus (Wayland); false when it did not come up.
    bool start();
    qint32 pid() const;
    Kind kind() const { return m_kind; }
    const QString& title() const { return m_title; }
    // X11: the window of its top level; empty before start().
    QString windowId() const { return m_windowId; }
    // X11: activates its window and waits until the window manager reports it active.
    bool activate();
    // The second window's X window; empty without one.
    QString secondWindowId() const { return m_secondWindowId; }
    // The text view's text as the application last wrote it (in the second window); an editor's
    // is read over the accessibility bus.
    QString reportedText() const;
    QString reportedSecondText() const;
    // GTK only: whether the text view refuses texts with "👍" other than by a paste, so that a
    // write over the accessibility bus fails after deleting the selection.
    void refuseAccessibilityWrites(bool refuse);
    // GTK only: whether a paste reads the clipboard only a second after its keystroke.
    void slowPaste(bool slow);

private:
    Kind m_kind;
    QString m_title;
    QString m_secondTitle;
    QString m_program;
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_windowId;
    QString m_secondWindowId;
};

} // namespace ovra::e2e
