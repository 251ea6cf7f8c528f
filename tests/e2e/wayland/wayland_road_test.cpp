// The road of a selection through the real program on a headless Wayland desktop (KWin or GNOME
// Shell, as run-wayland.sh started it): native Wayland GTK 3 and Qt 6 applications of ours, and
// GNOME's own editor (gnome-text-editor on GTK 4) on GNOME 45 and later, whose selection is made
// over the accessibility bus (or GNOME's keyboard) while their window is active, the program's
// panel on XWayland beside it, a translation from a chat-completions service on loopback, and the
// replacement written back.
#include "wayland/wayland_desktop.h"

#include "app/selection_road.h"

#include <QGuiApplication>
#include <QScreen>
#include <cstdio>
#include <map>

namespace ovra::e2e {
namespace {

using Kind = WaylandTarget::Kind;

// Longer than the program takes from a selection to its panel (the selection settles for 350 ms,
// then a few milliseconds of accessibility and compositor calls): none by then is none at all.
constexpr auto waylandNoPanelWait = 2s;

const char* nameOf(Kind kind) {
    constexpr const char* names[] = {"Gtk3", "Qt6", "GnomeTextEditor"};
    return names[int(kind)];
}

struct Desktop {
    std::unique_ptr<CompositorWindows> compositor = CompositorWindows::ofThisDesktop();
    FakeChatService chat{translation};
    // Each application started once, by the first test that needs it; null when it did not come up.
    std::map<Kind, std::unique_ptr<WaylandTarget>> targets;
};
Desktop* shared = nullptr;

class WaylandRoad : public ::testing::Test {
protected:
    static void SetUpTestSuite() { shared = new Desktop; }
    static void TearDownTestSuite() {
        delete shared;
        shared = nullptr;
    }

    // A program of its own for every test: no panel or closed selection carries over.
    void SetUp() override {
        ASSERT_TRUE(shared->compositor && shared->compositor->isReady())
            << "no word from the compositor: run this through tests/e2e/run-wayland.sh";
        startProgram();
    }
    void TearDown() override {
        if (!m_ovra)
            return;
        if (HasFailure()) {
            const auto exit = m_ovra->isRunning() ? std::nullopt : m_ovra->waitForExit(0ms);
            std::fprintf(stderr, "the program %s; its log:\n%s",
                         !exit       ? "runs"
                         : *exit < 0 ? "crashed"
                                     : qPrintable(QStringLiteral("exited with %1").arg(*exit)),
                         qPrintable(m_ovra->errorOutput()));
            if (const auto windows = shared->compositor->windows()) {
                for (const CompositorWindow& w : *windows)
                    std::fprintf(stderr, "window pid %d \"%s\" surface (%d,%d %dx%d)%s\n", w.pid,
                                 qPrintable(w.caption), w.surface.x(), w.surface.y(),
                                 w.surface.width(), w.surface.height(), w.active ? " active" : "");
            }
        }
        // Ended the program's own way, which takes its script out of KWin.
        m_ovra->runAgain({QStringLiteral("--quit")});
        EXPECT_TRUE(m_ovra->waitForExit(5s)) << "--quit did not end the program; its log:\n"
                                             << qPrintable(m_ovra->errorOutput());
    }

    void startProgram() {
        // The program is an X11 client; the session's own default is what picks XWayland.
        m_ovra = std::make_unique<OvraProcess>(OvraProcess::Options{
            shared->chat.baseURL(),
            {ignoredID},
            {},
            QStringLiteral("test-key"),
            {QStringLiteral("QT_QPA_PLATFORM="), QStringLiteral("QT_LOGGING_RULES=ovra.*=true")}});
        ASSERT_TRUE(m_ovra->start()) << "the program did not come up on the accessibility bus";
        // KWin 5.27 runs a loaded script a moment later; the program's was seen never to run more
        // often when this suite loaded scripts of its own meanwhile. KWin is left alone a while.
        waitUntil([] { return false; }, 2s);
    }
    // Ends the program the way a crash or `kill` would, leaving its script in KWin.
    void killProgram() { m_ovra.reset(); }

    OvraProcess& ovra() { return *m_ovra; }

    WaylandTarget& target(Kind kind) {
        auto& app = shared->targets[kind];
        if (!app) {
            app = std::make_unique<WaylandTarget>(
                kind, QStringLiteral("Ovra %1 target").arg(QLatin1String(nameOf(kind))));
            EXPECT_TRUE(app->start()) << nameOf(kind) << " did not come up as a Wayland client";
        }
        return *app;
    }

    // Activates `app`'s window, selects `word` in its text view over the accessibility bus and
    // sees the selection hold; where the word is on screen (compositor's window origin plus the
    // accessibility bus's window-relative box).
    void select(WaylandTarget& app, const QString& word, QRect* onScreen) {
        const Accessible text = textViewOf(app.pid());
        ASSERT_TRUE(text) << "no text view on the accessibility bus";
        // GTK drops a selection made while its window does not have the keyboard. A window that
        // has just been mapped may miss its first activation: it is asked again.
        bool activated = false;
        const bool focused = waitUntil(
            [&] {
                activated = shared->compositor->activate(app.pid()) || activated;
                return waitUntil([&] { return isFocused(text); }, 1s);
            },
            5s);
        ASSERT_TRUE(activated) << "the compositor did not activate " << qPrintable(app.title());
        ASSERT_TRUE(focused) << "the text view has no focus";
        // GTK 4 takes no selection over the accessibility bus: GNOME's keyboard makes it.
        auto* gnome = dynamic_cast<GnomeShellWindows*>(shared->compositor.get());
        ASSERT_TRUE(selectWord(text, word) || (gnome && gnome->selectWordByKeys(text, word)));
        ASSERT_TRUE(waitUntil([&] { return selectedTextOf(text) == word; }, 2s));
        waitUntil([] { return false; }, 150ms);
        ASSERT_EQ(selectedTextOf(text), word) << "the selection did not hold";

        const auto window = shared->compositor->windowOf(app.pid());
        ASSERT_TRUE(window) << "the compositor does not know the window";
        const auto box = wordBoxInWindow(text, word);
        ASSERT_TRUE(box);
        // A toolkit that draws its own shadow (GTK) counts from the visible frame; one that draws
        // its own title bar (Qt on GNOME) from below it, inside the border it draws around: its
        // top level is smaller than the surface.
        QPoint origin = window->surface.topLeft();
        const auto own = toplevelSizeOf(text);
        if (own && *own == window->frame.size()) {
            origin = window->frame.topLeft();
        } else if (own && own->width() <= window->surface.width() &&
                   own->height() <= window->surface.height()) {
            const int side = (window->surface.width() - own->width()) / 2;
            origin += QPoint(side, window->surface.height() - own->height() - side);
        }
        *onScreen = box->translated(origin);
        ASSERT_TRUE(window->surface.contains(*onScreen))
            << "the word is not inside its window: the geometry read is wrong";
    }

    // Selects `word` in `app` and waits for the panel. A program that has just started may not
    // have heard from KWin yet, so a selection without a panel is made again, for a while.
    void selectForPanel(WaylandTarget& app, const QString& word, QRect* onScreen) {
        const bool shown = waitUntil(
            [&] {
                clearSelectionOf(textViewOf(app.pid()));
                select(app, word, onScreen);
                return HasFatalFailure() || ovra().waitForPanel(1500ms);
            },
            10s);
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(shown) << "no panel after a selection; the program shows:\n"
                           << ovra().describePanel().toStdString();
    }

    void expectPanelBeside(const QRect& selection) {
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QString why;
        EXPECT_TRUE(waitUntil(
            [&] {
                const auto frame = ovra().panelFrame();
                return frame && placedBeside(*frame, selection, screen, &why);
            },
            2s))
            << why.toStdString();
    }

    bool press(const QString& name) {
        std::optional<QPoint> centre;
        waitUntil(
            [&] {
                centre = ovra().elementCentre(QStringLiteral("push button"), name);
                return centre.has_value();
            },
            3s);
        return centre && clickAt(*centre);
    }

private:
    std::unique_ptr<OvraProcess> m_ovra;
};

class WaylandRoadPerToolkit : public WaylandRoad, public ::testing::WithParamInterface<Kind> {};

TEST_P(WaylandRoadPerToolkit, SelectionShowsThePanelBesideItWithoutTakingTheFocus) {
    WaylandTarget& app = target(GetParam());
    QRect word;
    selectForPanel(app, QStringLiteral("café"), &word);
    if (HasFatalFailure())
        return;
    expectPanelBeside(word);
    const auto window = shared->compositor->windowOf(app.pid());
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->active) << "the panel took the focus";
    EXPECT_TRUE(ovra().hasElement(QStringLiteral("push button"), QStringLiteral("Traduzir")));
}

TEST_P(WaylandRoadPerToolkit, TranslateShowsTheServiceTextAndReplaceWritesItBack) {
    WaylandTarget& app = target(GetParam());
    const QString before = app.reportedText();
    QRect word;
    selectForPanel(app, QStringLiteral("naïve"), &word);
    if (HasFatalFailure())
        return;
    expectPanelBeside(word);

    const std::size_t requests = shared->chat.requests().size();
    ASSERT_TRUE(press(QStringLiteral("Traduzir"))) << "no \"Traduzir\" button";
    ASSERT_TRUE(
        waitUntil([&] { return ovra().hasElement(QStringLiteral("label"), translation); }, 10s))
        << "the panel does not show the service's text; it shows:\n"
        << ovra().describePanel().toStdString();
    const auto sent = shared->chat.requests();
    ASSERT_EQ(sent.size(), requests + 1);
    const QJsonArray messages = QJsonDocument::fromJson(QByteArray::fromStdString(sent.back().body))
                                    .object()
                                    .value(QStringLiteral("messages"))
                                    .toArray();
    ASSERT_FALSE(messages.isEmpty());
    EXPECT_EQ(messages.last().toObject().value(QStringLiteral("content")).toString(), u"naïve");
    // Not yet for GTK 4 on GNOME 48: the grown panel sits 4 px off (below its place above the
    // selection); its toolbar avoidance is the suspect, as GTK 4 gives window-relative boxes.
    if (GetParam() != Kind::GnomeTextEditor)
        expectPanelBeside(word);

    QString expected = before;
    expected.replace(before.indexOf(u"naïve"), 5, translation);
    ASSERT_TRUE(press(QStringLiteral("Substituir"))) << "no \"Substituir\" button";
    EXPECT_TRUE(waitUntil([&] { return app.reportedText() == expected; }, 5s))
        << "the application holds: " << app.reportedText().toStdString();
    const Accessible text = textViewOf(app.pid());
    EXPECT_EQ(textOf(text), expected) << "read back over the accessibility bus";
    EXPECT_TRUE(ovra().waitForNoPanel(3s)) << "the panel did not hide after the replacement";

    // Back to the original text for the tests that follow.
    ASSERT_TRUE(setTextOf(text, before));
    EXPECT_TRUE(waitUntil([&] { return app.reportedText() == before; }));
}

// A program that did not end its own way left its script in KWin; the next one still learns
// where the active window is.
TEST_F(WaylandRoad, PanelBesideTheSelectionAfterTheProgramWasKilled) {
    WaylandTarget& app = target(Kind::Gtk);
    for (const QString& text : {QStringLiteral("linha"), QStringLiteral("ALVO")}) {
        QRect word;
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
    WaylandTarget& app = target(Kind::Qt);
    QRect word;
    select(app, QStringLiteral("linha"), &word);
    if (HasFatalFailure())
        return;
    auto* gnome = dynamic_cast<GnomeShellWindows*>(shared->compositor.get());
    if (gnome) {
        ASSERT_TRUE(gnome->turnProgramExtension(false)) << "the shell kept the extension on";
    }
    startProgram();
    if (gnome) {
        ASSERT_TRUE(gnome->turnProgramExtension(true)) << "the shell did not turn it on";
    }
    if (HasFatalFailure())
        return;
    ASSERT_FALSE(waitUntil([&] { return ovra().panelFrame().has_value(); }, waylandNoPanelWait))
        << "a panel with neither a new selection nor the shortcut";
    // The program gives the shortcut once it hears of the extension's arrival: the keys are
    // pressed until the panel shows, for a while.
    ASSERT_TRUE(waitUntil(
        [&] { return shared->compositor->pressProgramShortcut() && ovra().waitForPanel(1500ms); },
        20s))
        << "no panel after Super+Alt+T: the desktop does not hold it for the program";
    expectPanelBeside(word);
}

// The desktop's own editor where it runs natively: gnome-text-editor on GNOME. (KWrite 25.04 on
// KDE sends no selection report for a selection made over the accessibility bus, and no keyboard
// reaches a headless KWin: nothing can select in it there.)
Kind desktopEditor() {
#ifdef OVRA_E2E_WAYLAND_EDITORS
    return qEnvironmentVariable("XDG_CURRENT_DESKTOP") == u"GNOME" ? Kind::GnomeTextEditor
                                                                   : Kind::Qt;
#else
    return Kind::Qt;
#endif
}

std::vector<Kind> toolkits() {
    std::vector<Kind> all{Kind::Gtk, Kind::Qt};
    if (desktopEditor() != Kind::Qt)
        all.push_back(desktopEditor());
    return all;
}
INSTANTIATE_TEST_SUITE_P(Toolkits, WaylandRoadPerToolkit, ::testing::ValuesIn(toolkits()),
                         [](const auto& info) { return nameOf(info.param); });

// The panel goes with the application it was shown for.
TEST_F(WaylandRoad, PanelGoesWhenTheApplicationQuits) {
    auto app =
        std::make_unique<WaylandTarget>(desktopEditor(), QStringLiteral("Ovra quitting target"));
    ASSERT_TRUE(app->start());
    QRect word;
    selectForPanel(*app, QStringLiteral("ALVO"), &word);
    if (HasFatalFailure())
        return;
    app.reset(); // SIGTERM, as when the session ends it
    EXPECT_TRUE(ovra().waitForNoPanel(3s)) << "the panel outlived its application";
}

TEST_F(WaylandRoad, IgnoredApplicationGetsNoPanel) {
    // The Qt target under the name the settings ignore.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString copy = dir.filePath(ignoredID);
    ASSERT_TRUE(QFile::copy(QStringLiteral(OVRA_QT_TARGET), copy));
    ASSERT_TRUE(QFile::setPermissions(copy, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    WaylandTarget ignored(Kind::Qt, QStringLiteral("Ovra ignored target"), copy);
    ASSERT_TRUE(ignored.start());

    // The program shows a panel for an application that is not ignored, and hides it once the
    // selection is gone: the wait below proves something.
    QRect word;
    WaylandTarget& other = target(Kind::Gtk);
    selectForPanel(other, QStringLiteral("Segunda"), &word);
    if (HasFatalFailure())
        return;
    ASSERT_TRUE(clearSelectionOf(textViewOf(other.pid())));
    ASSERT_TRUE(ovra().waitForNoPanel(3s)) << "the panel stayed without a selection";

    select(ignored, QStringLiteral("palavra"), &word);
    if (HasFatalFailure())
        return;
    EXPECT_FALSE(waitUntil([&] { return ovra().panelFrame().has_value(); }, waylandNoPanelWait))
        << "a selection in an ignored application showed the panel";
}

} // namespace
} // namespace ovra::e2e

int main(int argc, char** argv) {
    // Like the program, this process talks to the compositor's XWayland.
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
