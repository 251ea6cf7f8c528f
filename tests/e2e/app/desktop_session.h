// The desktop session every road test runs in, whichever desktop it is: X11 (run-headless.sh,
// Xvfb and openbox) or Wayland (run-wayland.sh, KWin or GNOME Shell with the program on
// XWayland). The fixture holds the program with a chat service on loopback and the target
// applications, and does the gestures and checks that differ between desktops only in how.
#pragma once

#include "app/ovra_app.h"
#include "platform/accessibility_services.h"
#include "platform/desktop_fixture.h"
#include "support/accessible_tree.h"

#include <QList>
#include <QObject>
#include <gtest/gtest.h>
#include <memory>

namespace ovra::e2e {

enum class DesktopKind { X11, KWin, GnomeShell };
// As the session's XDG_CURRENT_DESKTOP says.
DesktopKind thisDesktop();

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
    // KWin's or GNOME Shell's, as the desktop is; null on X11.
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

// What the chat service answers: accents, a combined emoji and a plain one.
inline const QString translation = QStringLiteral("ingênuo ação 👍🏽 😀");
// The id the settings ignore, and a copy of the Qt target under that name.
inline const QString ignoredID = QStringLiteral("ovra-ignored-target");

// Longer than the program takes from a gesture to its panel (on X11 a capture 120 ms after the
// gesture and a retry 280 ms later; on Wayland the selection settles for 250 ms first): a panel
// that has not come by then is not coming.
inline constexpr auto noPanelWait = std::chrono::milliseconds(900);
inline constexpr auto waylandNoPanelWait = std::chrono::milliseconds(2000);

class DesktopSession : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    // X11: one program for the suite, every test starting without a panel. Wayland: a program
    // of its own for every test, so no panel or closed selection carries over.
    void SetUp() override;
    void TearDown() override;

    // Null on X11.
    static CompositorWindows* compositor();
    static FakeChatService& chat();
    OvraProcess& ovra();
    // The program's settings and environment: the session's (ignoredID ignored), or a suite's.
    virtual OvraProcess::Options programOptions();
    // Starts the program with programOptions().
    void startProgram();
    // Ends the program the way a crash or `kill` would (on KWin, leaving its script there).
    void killProgram();
    // The target of `kind`, started once for the run.
    static TargetApp& target(TargetApp::Kind kind) { return sharedTarget(kind); }

    // X11: the focused text element of the application of `pid`, where `word` is on screen in
    // it and its range, a mouse drag across `range`, and what it has selected, all through the
    // platform's accessibility services.
    AccessibleElement focusedText(qint32 pid);
    std::optional<std::pair<QRectF, TextRange>> wordBounds(const AccessibleElement& element,
                                                           const QString& word);
    bool drag(const AccessibleElement& element, const TextRange& range);
    QString selectedIn(const AccessibleElement& element);
    QString textIn(const AccessibleElement& element);
    // X11: selects `word` in `element` from the start of its text as the user does, with a drag
    // across it or, `byKeys`, with Shift+Right a press per character as the user sees them; its
    // bounds on screen (empty by keys) once it reads as selected.
    std::optional<QRectF> selectIn(const AccessibleElement& element, const QString& word,
                                   bool byKeys = false);

    // Gives `app`'s window the keyboard and its text view the focus.
    bool activate(TargetApp& app);
    bool isActive(TargetApp& app);
    // Selects `word` in `app` as a user would on this desktop (a mouse drag on X11; over the
    // accessibility bus, or GNOME's keyboard, on Wayland) and sees it hold; where the word is on
    // screen. A selection closed before is not shown again while it stays the same, so each
    // test selects a word of its own.
    void selectWord(TargetApp& app, const QString& word, QRectF* onScreen);
    // selectWord, made again until the panel shows: a program that has just started may miss a
    // first gesture.
    void selectForPanel(TargetApp& app, const QString& word, QRectF* onScreen);
    // The program's shortcut (Super+Alt+T) as this desktop delivers it.
    bool pressShortcut();
    bool panelStaysAway(std::chrono::milliseconds wait);

    // The panel settles beside `selection` (top-left screen coordinates) within a moment.
    void expectPanelBeside(const QRectF& selection);
    // Presses a button of the panel, found by its name on the accessibility bus.
    bool press(const QString& name);
    void dismissPanel();
    // Translates with the panel's button and waits for the service's text in the panel.
    void translateInPanel(const QString& selected);
    // Replaces the selected `word` with the panel's button, checks what `app` then holds and
    // puts the original text back.
    void replaceInPanel(TargetApp& app, const QString& word);
    // With OVRA_E2E_SCREENSHOTS naming a folder (scripts/demo-headless.sh shows the road so), a
    // screenshot there of the screen at `step`.
    static void shoot(const QString& step);
};

} // namespace ovra::e2e
