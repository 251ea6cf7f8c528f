// The road of a selection through the real program on the X11 desktop beyond what every desktop
// shares (app/desktop_road_test.cpp): the shortcut and the clipboard, the panel going away as the
// user types, the question field, and another window of the source application.
#include "app/selection_road.h"

#include <csignal>

namespace ovra::e2e {
namespace {

using Kind = TargetApp::Kind;

TEST_F(SelectionRoad, ShortcutOpensThePanelForTheSelectionAndTypingHidesIt) {
    TargetApp& app = target(Kind::Gtk);
    ASSERT_TRUE(app.activate());
    const AccessibleElement element = focusedText(app.pid());
    ASSERT_FALSE(element.isNull());
    const auto word = wordBounds(element, QStringLiteral("ALVO"));
    ASSERT_TRUE(word);
    // Selected without any input gesture: nothing captures it until the shortcut is pressed.
    selectQuietly(element, word->second, QStringLiteral("ALVO"));
    ASSERT_TRUE(panelStaysAway(noPanelWait)) << "a panel before the shortcut";

    ASSERT_TRUE(pressShortcut());
    ASSERT_TRUE(ovra().waitForPanel(3s)) << "Alt+Super+T showed no panel";
    expectPanelBeside(word->first);
    EXPECT_TRUE(isActive(app)) << "the panel took the focus";
    // A key that types into the application, or moves its caret, leaves the panel about text
    // that is no longer selected: it goes, also after the shortcut, whose modifiers are let go
    // while its grab is active.
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("Right")}));
    EXPECT_TRUE(ovra().waitForNoPanel(2s)) << "the panel stayed while the user typed";
}

// Qt keeps a selection in PRIMARY after the caret moved it away; the shortcut must not show it.
TEST_F(SelectionRoad, ShortcutIgnoresAStalePrimarySelection) {
    TargetApp& app = target(Kind::Qt);
    QRectF word;
    selectForPanel(app, QStringLiteral("café"), &word);
    if (HasFatalFailure())
        return;
    dismissPanel();
    const AccessibleElement element = focusedText(app.pid());
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("ctrl+End")}));
    ASSERT_TRUE(waitUntil([&] { return selectedIn(element).isEmpty(); }));
    ASSERT_EQ(readSelection(QStringLiteral("primary")), u"café")
        << "PRIMARY lost the old word; the check proves nothing";

    // The user's clipboard, in several formats, held by this process. The shortcut pressed twice
    // within one copy capture: the second may neither back up the first one's emptied clipboard
    // nor take the first one's restore for a copy.
    ClipboardItem users;
    users.representations = {
        {QStringLiteral("text/plain"), QByteArrayLiteral("senha do usuário")},
        {QStringLiteral("text/html"), QByteArrayLiteral("<b>senha</b>")},
        {QStringLiteral("application/x-ovra-test"), QByteArrayLiteral("bytes\x01\x02")},
    };
    desktop().clipboard().writeItems({users});
    ASSERT_TRUE(
        xdotool({QStringLiteral("key"), QStringLiteral("alt+super+t"), QStringLiteral("sleep"),
                 QStringLiteral("0.1"), QStringLiteral("key"), QStringLiteral("alt+super+t")}));
    EXPECT_TRUE(panelStaysAway(1500ms))
        << "the shortcut showed the word selected before, or the user's clipboard";
    for (const auto& [type, bytes] : users.representations)
        EXPECT_EQ(readSelection(QStringLiteral("clipboard"), type), QString::fromUtf8(bytes))
            << "format " << type.toStdString();
}

// A clipboard owner that stopped answering: the shortcut's copy stage backs up the clipboard, and
// the program must go on answering meanwhile rather than wait for the owner.
TEST_F(SelectionRoad, AStoppedClipboardOwnerLeavesTheShortcutResponsive) {
    TargetApp& app = target(Kind::Qt);
    ASSERT_TRUE(app.activate());
    const AccessibleElement element = focusedText(app.pid());
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("ctrl+End")}));
    ASSERT_TRUE(waitUntil([&] { return selectedIn(element).isEmpty(); }));
    QProcess owner;
    ASSERT_TRUE(holdClipboard(owner, "held by a stopped owner"));
    ::kill(static_cast<pid_t>(owner.processId()), SIGSTOP);

    ASSERT_TRUE(pressShortcut());
    const auto stall = longestStall(2500ms);
    ::kill(static_cast<pid_t>(owner.processId()), SIGCONT);
    owner.kill();
    owner.waitForFinished();
    // Less than the clipboard read's own deadline (300 ms): the program did not sit out even that.
    EXPECT_LT(stall.count(), 250);
    EXPECT_FALSE(ovra().panelFrame());
}

// The replacing action's shortcut, in the GTK and the Qt application: replaced without the
// panel, then undone from the card. In GTK a mouse selection has brought the panel, which makes
// way for the action; in Qt the selection is made without any gesture.
TEST_F(SelectionRoad, TranslateAndReplaceByItsShortcutThenUndo) {
    for (const Kind kind : {Kind::Gtk, Kind::Qt}) {
        SCOPED_TRACE(kind == Kind::Gtk ? "GTK, the panel up" : "Qt, selected quietly");
        TargetApp& app = target(kind);
        QRectF bounds;
        if (kind == Kind::Gtk)
            selectForPanel(app, QStringLiteral("ALVO"), &bounds);
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(app.activate());
        const AccessibleElement element = focusedText(app.pid());
        ASSERT_FALSE(element.isNull());
        const auto word = wordBounds(element, QStringLiteral("ALVO"));
        ASSERT_TRUE(word);
        if (kind == Kind::Qt)
            selectQuietly(element, word->second, QStringLiteral("ALVO"));
        replaceByShortcutAndUndo(element, word->second);
        EXPECT_TRUE(isActive(app)) << "the card took the focus";
    }
}

// The question field is the one place the panel takes the keyboard; doing so is no application
// switch, so the panel stays up for the translation. The panel is then the active window, and the
// text view refuses the accessibility write (its delete goes through, its insert does not): the
// program puts the deleted text back, gives the keyboard back to the text's window and pastes.
TEST_F(SelectionRoad, ReplaceAfterTheQuestionFieldPastesIntoTheSourceWindow) {
    TargetApp& app = target(Kind::Gtk);
    QRectF bounds;
    selectForPanel(app, QStringLiteral("palavra"), &bounds);
    if (HasFatalFailure())
        return;
    const QString before = app.reportedText();

    openQuestionField();
    if (HasFatalFailure())
        return;

    // The application is slow too: it reads the clipboard a second after the paste keystroke. The
    // user's clipboard must wait for that read, not go back under it.
    app.refuseAccessibilityWrites(true);
    app.slowPaste(true);
    struct AllowWrites {
        TargetApp& app;
        ~AllowWrites() {
            app.refuseAccessibilityWrites(false);
            app.slowPaste(false);
        }
    } allow{app};
    desktop().clipboard().setString(QStringLiteral("do usuário"));
    translateInPanel(QStringLiteral("palavra"));
    if (HasFatalFailure())
        return;
    QString expected = before;
    expected.replace(before.indexOf(u"palavra"), 7, translation);
    ASSERT_TRUE(press(QStringLiteral("Substituir"))) << "no \"Substituir\" button";
    EXPECT_TRUE(waitUntil([&] { return app.reportedText() == expected; }, 5s))
        << "the application holds: " << app.reportedText().toStdString();
    EXPECT_TRUE(isActive(app)) << "the text's window did not get the keyboard back";
    EXPECT_TRUE(ovra().waitForNoPanel(3s)) << "the panel did not hide after the replacement";
    EXPECT_TRUE(waitUntil([] {
        return readSelection(QStringLiteral("clipboard")) == u"do usuário";
    })) << "the user's clipboard did not come back";

    // Back to the original text for the tests that follow.
    app.refuseAccessibilityWrites(false);
    ASSERT_TRUE(setTextOf(textViewOf(app.pid()), before));
    EXPECT_TRUE(waitUntil([&] { return app.reportedText() == before; }));
}

// Another window of the source application taking the keyboard (Alt+Tab) closes the panel; were
// the panel still up, a replacement would go into the captured window or nowhere, never into the
// other one. Both windows refuse accessibility writes, so only a paste could write.
TEST_F(SelectionRoad, AnotherWindowOfTheSourceClosesThePanelAndGetsNothing) {
    TargetApp app(TargetApp::Kind::Gtk, QStringLiteral("Ovra GTK window A"),
                  QStringLiteral("Ovra GTK window B"));
    ASSERT_TRUE(app.start());
    app.refuseAccessibilityWrites(true);
    // By keyboard: the focused text element of the process may be the other window's.
    ASSERT_NE(app.windowId(), app.secondWindowId());
    ASSERT_TRUE(app.activate());
    ASSERT_TRUE(selectByKeys(0, 3));
    ASSERT_TRUE(ovra().waitForPanel()) << "no panel for the selection in window A";
    translateInPanel(QStringLiteral("Olá"));
    if (HasFatalFailure())
        return;
    const QString otherBefore = app.reportedSecondText();
    ASSERT_FALSE(otherBefore.isEmpty());

    ASSERT_TRUE(activateWindow(app.secondWindowId()));
    const bool closed = ovra().waitForNoPanel(2s);
    EXPECT_TRUE(closed) << "another window of the application left the panel up";
    if (!closed) {
        ASSERT_TRUE(press(QStringLiteral("Substituir")));
        waitUntil([] { return false; }, 1500ms);
    }
    EXPECT_EQ(app.reportedSecondText(), otherBefore) << "the other window got the text";
}

} // namespace
} // namespace ovra::e2e
