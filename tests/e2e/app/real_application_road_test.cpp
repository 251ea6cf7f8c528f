// The road of a selection through the real program in applications that are not ours (one row of
// realApplications() each), and the program staying responsive while such an application hangs.
#include "app/selection_road.h"
#include "support/real_application.h"

#include <map>

namespace ovra::e2e {

using namespace Qt::StringLiterals;

namespace {

// An emoji before every word the tests select: each toolkit counts it in its own units. Accents
// and a combined emoji after the replaced word too: an insert measured in the wrong unit cuts
// the text after it.
const QString documentText = u"Olá café 😀 naïve text here.\nSegunda linha com a "
                             "palavra ALVO aqui, ação 👍🏽 fim.\n"_s;

// The applications the cases have started, once each for the suite.
std::map<QString, std::unique_ptr<RealApplication>> startedApplications;

class RealApplicationRoad : public SelectionRoad,
                            public ::testing::WithParamInterface<RealApplicationKind> {
protected:
    static void TearDownTestSuite() {
        startedApplications.clear();
        DesktopSession::TearDownTestSuite();
    }

    // The application of this case, started once for the suite.
    RealApplication* app() {
        auto& slot = startedApplications[GetParam().name];
        if (!slot) {
            slot = std::make_unique<RealApplication>(GetParam(), documentText);
            if (!slot->start())
                return nullptr;
        }
        return slot.get();
    }

    // Drags across `word` in the application's text, or selects it by keys where the pointer
    // cannot find words; its bounds (empty by keys) once it reads as selected.
    std::optional<QRectF> dragSelect(RealApplication& target, const QString& word) {
        const AccessibleElement element =
            target.activate() ? target.textElement(ax()) : AccessibleElement();
        return element ? selectIn(element, word, pointerCannotFindWords()) : std::nullopt;
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
            return xdotool(
                u"mousemove %1 %2 mousedown 1 mouseup 1 mousedown 1 mouseup 1"_s.arg(centre.x())
                    .arg(centre.y()));
        };
        // Chromium sometimes takes the burst for single clicks (about one run in three here,
        // more often on a loaded machine), and then every burst after it: the user's next try is
        // a double-click at a hand's pace, clicks 60 ms apart.
        const auto paced = [&] {
            return xdotool(
                u"mousemove %1 %2 click --repeat 2 --delay 60 1"_s.arg(centre.x()).arg(centre.y()));
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

    // Skips a case that needs the pointer on a word where the pointer cannot find one.
    bool pointerCannotFindWords() const { return !GetParam().placesCharacters; }

    // A click at the centre of `word`, which collapses the selection there; a key that moves the
    // caret where the pointer cannot find words.
    bool clickOn(const AccessibleElement& element, const QString& word) {
        if (pointerCannotFindWords())
            return xdotool(u"key Right"_s);
        const auto bounds = wordBounds(element, word);
        return bounds && clickAt(bounds->first.center().toPoint());
    }
};

TEST_P(RealApplicationRoad, DragAndShiftArrowsShowThePanelBesideTheSelection) {
    RealApplication* target = app();
    ASSERT_TRUE(target) << "the application did not come up";
    // The program starts its monitors just after it comes up; the first gesture may come before.
    std::optional<QRectF> bounds;
    ASSERT_TRUE(waitUntil(
        [&] {
            bounds = dragSelect(*target, u"naïve"_s);
            return bounds && ovra().waitForPanel(1500ms);
        },
        15s))
        << "no panel after a drag";
    const bool placed = !pointerCannotFindWords();
    if (placed)
        expectPanelBeside(*bounds);
    dismissPanel();

    const AccessibleElement element = target->textElement(ax());
    if (placed) {
        // The text element's frame and its text are placed on the same screen, and what is
        // under the word is the text element.
        EXPECT_TRUE(ax().frame(element).value.contains(bounds->center()));
        const auto hit = ax().elementAtPosition(bounds->center());
        EXPECT_TRUE(hit.ok() && hit.value == element)
            << "under the word: "
            << (hit.ok() ? textIn(hit.value).left(20).toStdString() : "nothing");
    }
    ASSERT_TRUE(selectIn(element, u"Olá"_s, true));
    EXPECT_TRUE(ovra().waitForPanel(3s)) << "no panel after Shift+arrows";
    if (placed) {
        const auto word = wordBounds(element, u"Olá"_s);
        ASSERT_TRUE(word);
        expectPanelBeside(word->first);
    }
    dismissPanel();
}

TEST_P(RealApplicationRoad, TranslateAndReplaceThenTheShortcutWithNothingSelected) {
    RealApplication* target = app();
    ASSERT_TRUE(target);
    const auto bounds = dragSelect(*target, u"Segunda"_s);
    ASSERT_TRUE(bounds);
    ASSERT_TRUE(ovra().waitForPanel());
    translateInPanel(u"Segunda"_s);
    if (HasFatalFailure())
        return;
    // As the application holds it: editors may hide the file's last line break.
    const AccessibleElement element = target->textElement(ax());
    QString expected = textIn(element);
    expected.replace(expected.indexOf(u"Segunda"), 7, translation);
    // The user's clipboard, held by a process of its own: a paste would take it away, and an
    // application that takes writes must get this one without.
    QProcess clipboardOwner;
    ASSERT_TRUE(holdClipboard(clipboardOwner, "antes"));
    ASSERT_TRUE(press(u"Substituir"_s));
    EXPECT_TRUE(waitUntil([&] { return textIn(element) == expected; }))
        << "the application holds: " << textIn(element).toStdString();
    EXPECT_TRUE(ovra().waitForNoPanel(3s));
    if (GetParam().takesAccessibilityWrites) {
        EXPECT_EQ(clipboardOwner.state(), QProcess::Running) << "the result was pasted";
    }
    clipboardOwner.kill();
    clipboardOwner.waitForFinished(1000);
    // A word double-clicked right after the write (a paste, where the application takes no
    // other) shows its panel beside it.
    if (!pointerCannotFindWords()) {
        const auto word = wordBounds(element, u"ALVO"_s);
        ASSERT_TRUE(word);
        ASSERT_TRUE(doubleClickSelects(element, *word, u"ALVO"_s));
        ASSERT_TRUE(ovra().waitForPanel(3s)) << "no panel for a double-click after Substituir";
        expectPanelBeside(word->first);
        dismissPanel();
    }
    // Back to the document as it was.
    ASSERT_TRUE(xdotool(u"key ctrl+z"_s));

    // A word selected, then deselected by a click, may stay in PRIMARY, and an editor may copy the
    // caret's line for the shortcut's Ctrl+C: the shortcut finds nothing selected and shows
    // nothing.
    ASSERT_TRUE(dragSelect(*target, u"café"_s));
    ASSERT_TRUE(ovra().waitForPanel());
    dismissPanel();
    const AccessibleElement text = target->textElement(ax());
    ASSERT_TRUE(clickOn(text, u"ALVO"_s));
    ASSERT_TRUE(waitUntil([&] { return selectedIn(text).isEmpty(); }));
    ASSERT_TRUE(pressShortcut());
    EXPECT_TRUE(panelStaysAway(1500ms)) << "the shortcut showed the word selected before";
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
    xdotool(u"key ctrl+Home"_s);
    const auto word = wordBounds(element, u"palavra"_s);
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
    ASSERT_TRUE(pressShortcut());
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
    const auto bounds = dragSelect(*target, u"linha"_s);
    ASSERT_TRUE(bounds);
    EXPECT_TRUE(ovra().waitForPanel(3s)) << "no panel once the application runs again";
}

INSTANTIATE_TEST_SUITE_P(Applications, RealApplicationRoad, ::testing::ValuesIn(realApplications()),
                         [](const auto& info) { return info.param.name.toStdString(); });

} // namespace
} // namespace ovra::e2e
