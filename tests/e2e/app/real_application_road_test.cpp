// The road of a selection through the real program in applications that are not ours (one row of
// realApplications() each), and the program staying responsive while such an application hangs.
#include "app/selection_road.h"
#include "support/real_application.h"

#include <map>

namespace ovra::e2e {
namespace {

// An emoji before every word the tests select: each toolkit counts it in its own units. Accents
// and a combined emoji after the replaced word too: an insert measured in the wrong unit cuts
// the text after it.
const QString documentText = QStringLiteral("Olá café 😀 naïve text here.\nSegunda linha com a "
                                            "palavra ALVO aqui, ação 👍🏽 fim.\n");

class RealApplicationRoad : public SelectionRoad,
                            public ::testing::WithParamInterface<RealApplicationKind> {
protected:
    static void TearDownTestSuite() {
        started().clear();
        DesktopSession::TearDownTestSuite();
    }

    // The application of this case, started once for the suite.
    RealApplication* app() {
        auto& slot = started()[GetParam().name];
        if (!slot) {
            slot = std::make_unique<RealApplication>(GetParam(), documentText);
            if (!slot->start())
                return nullptr;
        }
        return slot.get();
    }

    // Drags across `word` in the application's text; its bounds once it reads as selected. Where
    // the pointer cannot find words, the keyboard selects it, and the bounds are empty.
    std::optional<QRectF> dragSelect(RealApplication& target, const QString& word) {
        if (!target.activate())
            return std::nullopt;
        const AccessibleElement element = target.textElement(ax());
        if (!element)
            return std::nullopt;
        xdotool({QStringLiteral("key"), QStringLiteral("ctrl+Home")});
        std::optional<QRectF> bounds;
        if (GetParam().placesCharacters) {
            const auto found = wordBounds(element, word);
            if (!found || !drag(element, found->second))
                return std::nullopt;
            bounds = found->first;
        } else if (keySelect(element, word)) {
            bounds = QRectF();
        } else {
            return std::nullopt;
        }
        if (!waitUntil([&] { return selectedIn(element) == word; })) {
            std::fprintf(stderr, "selecting %s selected \"%s\"\n", qPrintable(word),
                         qPrintable(selectedIn(element)));
            return std::nullopt;
        }
        return bounds;
    }

    // Double-clicks the middle of `word` (at `bounds`); whether it then reads as selected. The
    // two clicks go out in one burst: GTK takes a second press as a double-click only when it
    // reads it before a main-loop timer of gtk-double-click-time (400 ms), started as it handles
    // the first press, fires; time stamps play no part. Clicks 100 ms apart left too little room
    // on a loaded machine.
    bool doubleClickSelects(const AccessibleElement& element,
                            const std::pair<QRectF, TextRange>& bounds, const QString& word) {
        const QPoint centre = bounds.first.center().toPoint();
        const auto burst = [&] {
            return xdotool({QStringLiteral("mousemove"), QString::number(centre.x()),
                            QString::number(centre.y()), QStringLiteral("mousedown"),
                            QStringLiteral("1"), QStringLiteral("mouseup"), QStringLiteral("1"),
                            QStringLiteral("mousedown"), QStringLiteral("1"),
                            QStringLiteral("mouseup"), QStringLiteral("1")});
        };
        // Chromium sometimes takes the burst for single clicks (about one run in three here,
        // more often on a loaded machine), and then every burst after it: the user's next try is
        // a double-click at a hand's pace, clicks 60 ms apart.
        const auto paced = [&] {
            return xdotool({QStringLiteral("mousemove"), QString::number(centre.x()),
                            QString::number(centre.y()), QStringLiteral("click"),
                            QStringLiteral("--repeat"), QStringLiteral("2"),
                            QStringLiteral("--delay"), QStringLiteral("60"), QStringLiteral("1")});
        };
        for (int attempt = 1; attempt <= 3; ++attempt) {
            if (!(attempt == 1 ? burst() : paced()))
                return false;
            if (waitUntil([&] { return selectedIn(element) == word; }, 2s))
                return true;
            std::fprintf(stderr, "double-click %d selected \"%s\"\n", attempt,
                         qPrintable(selectedIn(element)));
        }
        return false;
    }

    // Selects `word` with Shift+Right from the start of the text, a press per character as the
    // user sees them.
    bool keySelect(const AccessibleElement& element, const QString& word) {
        const QString text = textIn(element);
        const qsizetype at = text.indexOf(word);
        return at >= 0 && selectByKeys(graphemesIn(text.left(at)), graphemesIn(word));
    }

    // Skips a case that needs the pointer on a word where the pointer cannot find one.
    bool pointerCannotFindWords() const { return !GetParam().placesCharacters; }

    // The application's whole text while `element` reports it.
    QString textIn(const AccessibleElement& element) {
        const auto text = ax().value(element);
        return text.ok() ? text.value : QString();
    }

    // A click at the centre of `word`, which collapses the selection there; a key that moves the
    // caret where the pointer cannot find words.
    bool clickOn(const AccessibleElement& element, const QString& word) {
        if (pointerCannotFindWords())
            return xdotool({QStringLiteral("key"), QStringLiteral("Right")});
        const auto bounds = wordBounds(element, word);
        return bounds && clickAt(bounds->first.center().toPoint());
    }

private:
    static std::map<QString, std::unique_ptr<RealApplication>>& started() {
        static std::map<QString, std::unique_ptr<RealApplication>> apps;
        return apps;
    }
};

TEST_P(RealApplicationRoad, DragAndShiftArrowsShowThePanelBesideTheSelection) {
    RealApplication* target = app();
    ASSERT_TRUE(target) << "the application did not come up";
    // The program starts its monitors just after it comes up; the first gesture may come before.
    std::optional<QRectF> bounds;
    ASSERT_TRUE(waitUntil(
        [&] {
            bounds = dragSelect(*target, QStringLiteral("naïve"));
            return bounds && ovra().waitForPanel(1500ms);
        },
        15s))
        << "no panel after a drag";
    const bool placed = !pointerCannotFindWords();
    if (placed)
        expectPanelBeside(*bounds);
    dismissPanel();

    const AccessibleElement element = target->textElement(ax());
    // The text element's frame and its text are placed on the same screen.
    const auto frame = ax().frame(element);
    ASSERT_TRUE(frame.ok());
    EXPECT_TRUE(!placed || frame.value.contains(bounds->center()));
    // What is under the word is the text element, where the pointer can find words.
    if (placed) {
        const auto hit = ax().elementAtPosition(bounds->center());
        EXPECT_TRUE(hit.ok() && hit.value == element)
            << "under the word: "
            << (hit.ok() ? textIn(hit.value).left(20).toStdString() : "nothing");
    }
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("ctrl+Home")}));
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("shift+Right")}));
    ASSERT_TRUE(waitUntil([&] { return selectedIn(element) == u"Olá"; }));
    EXPECT_TRUE(ovra().waitForPanel(3s)) << "no panel after Shift+arrows";
    const auto word = wordBounds(element, QStringLiteral("Olá"));
    ASSERT_TRUE(word || !placed);
    if (placed)
        expectPanelBeside(word->first);
    dismissPanel();
}

TEST_P(RealApplicationRoad, TranslateAndReplace) {
    RealApplication* target = app();
    ASSERT_TRUE(target);
    const auto bounds = dragSelect(*target, QStringLiteral("Segunda"));
    ASSERT_TRUE(bounds);
    ASSERT_TRUE(ovra().waitForPanel());
    translateInPanel(QStringLiteral("Segunda"));
    if (HasFatalFailure())
        return;
    // As the application holds it: editors may hide the file's last line break.
    const AccessibleElement element = target->textElement(ax());
    const auto before = ax().value(element);
    ASSERT_TRUE(before.ok());
    QString expected = before.value;
    expected.replace(expected.indexOf(u"Segunda"), 7, translation);
    // The user's clipboard, held by a process of its own: a paste would take it away, and an
    // application that takes writes must get this one without.
    QProcess clipboardOwner;
    ASSERT_TRUE(holdClipboard(clipboardOwner, "antes"));
    ASSERT_TRUE(press(QStringLiteral("Substituir")));
    EXPECT_TRUE(waitUntil([&] {
        const auto now = ax().value(element);
        return now.ok() && now.value == expected;
    })) << "the application holds: "
        << ax().value(element).value.toStdString();
    EXPECT_TRUE(ovra().waitForNoPanel(3s));
    if (GetParam().takesAccessibilityWrites) {
        EXPECT_EQ(clipboardOwner.state(), QProcess::Running) << "the result was pasted";
    }
    clipboardOwner.kill();
    clipboardOwner.waitForFinished(1000);
    // A word double-clicked right after the write (a paste, where the application takes no
    // other) shows its panel beside it.
    if (!pointerCannotFindWords()) {
        const auto word = wordBounds(element, QStringLiteral("ALVO"));
        ASSERT_TRUE(word);
        ASSERT_TRUE(doubleClickSelects(element, *word, QStringLiteral("ALVO")));
        ASSERT_TRUE(ovra().waitForPanel(3s)) << "no panel for a double-click after Substituir";
        expectPanelBeside(word->first);
        dismissPanel();
    }
    // Back to the document as it was.
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("ctrl+z")}));
}

// A hung application (stopped) neither freezes the program nor keeps it from working once the
// application runs again.
TEST_P(RealApplicationRoad, HungApplicationLeavesTheProgramResponsive) {
    if (pointerCannotFindWords())
        GTEST_SKIP() << "the pointer cannot find a word in this application";
    RealApplication* target = app();
    ASSERT_TRUE(target && target->activate());
    const AccessibleElement element = target->textElement(ax());
    ASSERT_TRUE(element);
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+Home")});
    const auto word = wordBounds(element, QStringLiteral("palavra"));
    ASSERT_TRUE(word);
    const auto firstChar = ax().boundsForRange(element, {word->second.location, 1});
    const auto lastChar =
        ax().boundsForRange(element, {word->second.location + word->second.length - 1, 1});
    ASSERT_TRUE(firstChar.ok() && lastChar.ok());

    // Any panel left from an earlier case goes first: the one looked for below must be new.
    if (ovra().panelFrame())
        dismissPanel();
    target->suspend();
    ASSERT_TRUE(dragAcross(firstChar.value, lastChar.value));
    const auto afterGesture = longestStall(2500ms);
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("alt+super+t")}));
    const auto afterShortcut = longestStall(2500ms);
    // Half the accessibility calls' own deadline (1 s): a UI thread that waited on the stopped
    // application would stall at least that long, while a loaded machine delays a tick far less.
    EXPECT_LT(afterGesture.count(), 500);
    EXPECT_LT(afterShortcut.count(), 500);
    EXPECT_FALSE(ovra().panelFrame()) << "a panel for an application that does not answer";

    target->resume();
    // The drag waited in the queue; a toolkit replaying it late may end it a character short.
    ASSERT_TRUE(waitUntil([&] { return selectedIn(element).startsWith(u"palavr"); }, 5s))
        << "the drag selected \"" << selectedIn(element).toStdString() << '"';
    if (ovra().panelFrame())
        dismissPanel();
    const auto bounds = dragSelect(*target, QStringLiteral("linha"));
    ASSERT_TRUE(bounds);
    EXPECT_TRUE(ovra().waitForPanel(3s)) << "no panel once the application runs again";
}

// A word selected and then deselected by a click may stay in PRIMARY, and an editor may copy the
// caret's line for the shortcut's Ctrl+C: the shortcut finds nothing selected and shows nothing.
TEST_P(RealApplicationRoad, ShortcutIgnoresAWordNoLongerSelected) {
    RealApplication* target = app();
    ASSERT_TRUE(target);
    ASSERT_TRUE(dragSelect(*target, QStringLiteral("café")));
    ASSERT_TRUE(ovra().waitForPanel());
    dismissPanel();
    const AccessibleElement element = target->textElement(ax());
    ASSERT_TRUE(clickOn(element, QStringLiteral("ALVO")));
    ASSERT_TRUE(waitUntil([&] { return selectedIn(element).isEmpty(); }));
    std::fprintf(stderr, "PRIMARY %s the deselected word\n",
                 readSelection(QStringLiteral("primary")) == u"café" ? "still holds"
                                                                     : "no longer holds");

    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("alt+super+t")}));
    EXPECT_FALSE(waitUntil([&] { return ovra().panelFrame().has_value(); }, 1500ms))
        << "the shortcut showed the word selected before";
}

INSTANTIATE_TEST_SUITE_P(Applications, RealApplicationRoad, ::testing::ValuesIn(realApplications()),
                         [](const auto& info) { return info.param.name.toStdString(); });

} // namespace
} // namespace ovra::e2e
