// The road of a selection on a headless Wayland desktop (KWin or GNOME Shell, as run-wayland.sh
// started it) where it differs from X11's: the program learning from the compositor where the
// active window is, and the desktop holding the program's shortcut. (The road every desktop
// shares is app/desktop_road_test.cpp.)
#include "app/desktop_session.h"

namespace ovra::e2e {

using namespace Qt::StringLiterals;

namespace {

using Kind = TargetApp::Kind;

class WaylandRoad : public DesktopSession {};

// A program that did not end its own way left its script in KWin; the next one still learns
// where the active window is.
TEST_F(WaylandRoad, PanelBesideTheSelectionAfterTheProgramWasKilled) {
    TargetApp& app = target(Kind::Gtk);
    for (const QString& text : {u"linha"_s, u"ALVO"_s}) {
        QRectF word;
        selectForPanel(app, text, &word);
        if (HasFatalFailure())
            return;
        expectPanelBeside(word);
        if (text == u"linha") {
            killProgram();
            startProgram();
            if (HasFatalFailure())
                return;
        }
    }
}

// The desktop holds the program's shortcut (GNOME Shell through the program's extension, KDE in
// its global shortcut service) and the press reaches the program. The selection is made before
// the program starts, so only the shortcut can bring it to the panel. On GNOME the program starts
// with its extension off, which is turned on while it runs (from the preferences, or late at
// login, or back after the lock screen): the program must give it the shortcut then.
TEST_F(WaylandRoad, ShortcutHeldByTheDesktopShowsThePanelForTheSelection) {
    killProgram();
    TargetApp& app = target(Kind::Qt);
    QRectF word;
    selectWord(app, u"linha"_s, &word);
    if (HasFatalFailure())
        return;
    auto* gnome = dynamic_cast<GnomeShellWindows*>(compositor());
    if (gnome) {
        ASSERT_TRUE(gnome->turnProgramExtension(false)) << "the shell kept the extension on";
    }
    startProgram();
    if (gnome) {
        ASSERT_TRUE(gnome->turnProgramExtension(true)) << "the shell did not turn it on";
    }
    if (HasFatalFailure())
        return;
    ASSERT_TRUE(panelStaysAway(waylandNoPanelWait))
        << "a panel with neither a new selection nor the shortcut";
    // The program gives the shortcut once it hears of the extension's arrival: the keys are
    // pressed until the panel shows, for a while.
    ASSERT_TRUE(waitUntil([&] { return pressShortcut() && ovra().waitForPanel(1500ms); }, 20s))
        << "no panel after Super+Alt+T: the desktop does not hold it for the program";
    expectPanelBeside(word);
}

} // namespace
} // namespace ovra::e2e
