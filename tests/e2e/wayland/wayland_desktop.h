// The pieces of a Wayland desktop the end-to-end tests work with: target applications running as
// native Wayland clients, the compositor's word on where windows are and which one is active, and
// the targets' text read and selected over the accessibility bus.
#pragma once

#include <QList>
#include <QObject>
#include <QProcess>
#include <QRect>
#include <QSize>
#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <optional>

using AtspiAccessible = struct _AtspiAccessible;

namespace ovra::e2e {

class Accessible;

// A window as the compositor places it.
struct CompositorWindow {
    qint32 pid = 0;
    QString caption;
    QRect frame; // decoration included
    // The application's own surface: its accessibility boxes are relative to this.
    QRect surface;
    bool active = false;
};

// The compositor's word on where windows are and which one has the keyboard.
class CompositorWindows {
public:
    virtual ~CompositorWindows() = default;
    // KWin's or GNOME Shell's, as XDG_CURRENT_DESKTOP says; null elsewhere.
    static std::unique_ptr<CompositorWindows> ofThisDesktop();

    virtual bool isReady() const = 0;
    // Every managed window; nothing when the compositor did not answer.
    virtual std::optional<QList<CompositorWindow>> windows() = 0;
    // Makes the window of `pid` the active one and waits until the compositor reports it so.
    virtual bool activate(qint32 pid) = 0;
    // The program's default shortcut (Super+Alt+T) as the desktop's shortcut service takes it.
    virtual bool pressProgramShortcut() = 0;
    // The window of the process `pid`; nothing while it has none.
    std::optional<CompositorWindow> windowOf(qint32 pid);
};

// KWin's windows, read by a script KWin runs on our behalf that calls back over the session bus.
class KWinWindows : public QObject, public CompositorWindows {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "app.ovra.E2eWindows")

public:
    KWinWindows();
    ~KWinWindows() override;
    bool isReady() const override { return m_registered; }
    std::optional<QList<CompositorWindow>> windows() override;
    bool activate(qint32 pid) override;
    // No keys reach a headless KWin: the shortcut service is asked to run the action bound to
    // Super+Alt+T, as a press of those keys would.
    bool pressProgramShortcut() override;

public Q_SLOTS:
    Q_SCRIPTABLE void Report(const QString& json);

private:
    std::optional<QList<CompositorWindow>> run(qint32 activatePid);

    QString m_service;
    bool m_registered = false;
    int m_runs = 0;
    std::optional<QString> m_report;
};

// GNOME Shell's windows, from the ovra-e2e-windows@ovra.app extension the session runs with,
// and a keyboard of mutter's remote-desktop service: a headless seat has none, and without a
// key from one a GTK window that was made active never gives its text view the focus.
class GnomeShellWindows : public CompositorWindows {
public:
    GnomeShellWindows();
    ~GnomeShellWindows() override;
    bool isReady() const override;
    std::optional<QList<CompositorWindow>> windows() override;
    bool activate(qint32 pid) override;
    bool pressProgramShortcut() override;
    // Presses `keysyms` in order on the remote-desktop keyboard, then releases them in reverse.
    bool pressKeys(const QList<quint32>& keysyms);
    // Selects the first `word` in the focused `text` as a user does with the keyboard: to the
    // start, right up to the word, then right across it with Shift held.
    bool selectWordByKeys(const Accessible& text, const QString& word);
    // Turns the program's extension on or off, as the user or the shell's lock screen does, and
    // waits until the extension is on the bus or gone from it.
    bool turnProgramExtension(bool on);

private:
    QString m_remoteSession; // object path; empty when mutter refused one
};

// A target application as a native Wayland client: one of ours (tests/e2e/targets), with the text
// its text view holds as it reports it, or GNOME's editor on a file holding the same text.
class WaylandTarget {
public:
    enum class Kind { Gtk, Qt, GnomeTextEditor };
    // `program` replaces the Qt target's executable (a copy under another name).
    WaylandTarget(Kind kind, QString title, QString program = {});
    ~WaylandTarget();
    WaylandTarget(const WaylandTarget&) = delete;
    WaylandTarget& operator=(const WaylandTarget&) = delete;

    // Starts it on the Wayland backend and waits until its text is on the accessibility bus.
    bool start();
    qint32 pid() const;
    Kind kind() const { return m_kind; }
    const QString& title() const { return m_title; }
    // Ours write it to a file; an editor's is read over the accessibility bus.
    QString reportedText() const;

private:
    Kind m_kind;
    QString m_title;
    QString m_program;
    QTemporaryDir m_dir;
    QProcess m_process;
};

// An accessibility object held for the length of a scope.
class Accessible {
public:
    explicit Accessible(AtspiAccessible* object = nullptr) : m_object(object) {}
    Accessible(const Accessible& other);
    Accessible& operator=(Accessible other) noexcept;
    ~Accessible();
    AtspiAccessible* get() const { return m_object; }
    explicit operator bool() const { return m_object != nullptr; }

private:
    AtspiAccessible* m_object;
};

// The multi-line editable text of the application with process `pid`, once it is there.
Accessible textViewOf(qint32 pid);
QString textOf(const Accessible& text);
QString selectedTextOf(const Accessible& text);
bool isFocused(const Accessible& text);
// The size of the top level holding `text`: where the toolkit's own coordinates end.
std::optional<QSize> toplevelSizeOf(const Accessible& text);
// Selects the first `word` in `text` over the accessibility bus; false when it is not there.
bool selectWord(const Accessible& text, const QString& word);
// Takes away every selection of `text`; false when it had one and kept it.
bool clearSelectionOf(const Accessible& text);
// The box of the first `word` relative to the window (Wayland gives no screen coordinates).
std::optional<QRect> wordBoxInWindow(const Accessible& text, const QString& word);
bool setTextOf(const Accessible& text, const QString& contents);

} // namespace ovra::e2e
