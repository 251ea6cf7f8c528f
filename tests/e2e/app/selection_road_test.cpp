// The road of a selection through the real program on the X11 desktop beyond what every desktop
// shares (app/desktop_road_test.cpp): the shortcut and the clipboard, the panel going away as the
// user types, the question field, and another window of the source application.
#include "app/selection_road.h"

#include <csignal>

namespace ovra::e2e {

using namespace Qt::StringLiterals;

namespace {

using Kind = TargetApp::Kind;

TEST_F(SelectionRoad, ShortcutOpensThePanelForTheSelectionAndTypingHidesIt) {
    TargetApp& app = target(Kind::Gtk);
    ASSERT_TRUE(app.activate());
    const AccessibleElement element = focusedText(app.pid());
    ASSERT_FALSE(element.isNull());
    const auto word = wordBounds(element, u"ALVO"_s);
    ASSERT_TRUE(word);
    // Selected without any input gesture: nothing captures it until the shortcut is pressed.
    selectQuietly(element, word->second, u"ALVO"_s);
    ASSERT_TRUE(panelStaysAway(noPanelWait)) << "a panel before the shortcut";

    ASSERT_TRUE(pressShortcut());
    ASSERT_TRUE(ovra().waitForPanel(3s)) << "Alt+Super+T showed no panel";
    expectPanelBeside(word->first);
    EXPECT_TRUE(isActive(app)) << "the panel took the focus";
    EXPECT_TRUE(runTool(u"xprop"_s, {u"-id"_s, ovra().panelWindowId(), u"_NET_WM_DESKTOP"_s})
                    .output.contains(u"4294967295"))
        << "the panel is not on every workspace";
    // A key that types into the application, or moves its caret, leaves the panel about text
    // that is no longer selected: it goes, also after the shortcut, whose modifiers are let go
    // while its grab is active.
    ASSERT_TRUE(xdotool(u"key Right"_s));
    EXPECT_TRUE(ovra().waitForNoPanel(2s)) << "the panel stayed while the user typed";
}

// Qt keeps a selection in PRIMARY after the caret moved it away; the shortcut must not show it.
TEST_F(SelectionRoad, ShortcutIgnoresAStalePrimarySelectionAndAStoppedClipboardOwner) {
    TargetApp& app = target(Kind::Qt);
    QRectF word;
    selectForPanel(app, u"café"_s, &word);
    if (HasFatalFailure())
        return;
    dismissPanel();
    const AccessibleElement element = focusedText(app.pid());
    ASSERT_TRUE(xdotool(u"key ctrl+End"_s));
    ASSERT_TRUE(waitUntil([&] { return selectedIn(element).isEmpty(); }));
    ASSERT_EQ(readSelection(u"primary"_s), u"café")
        << "PRIMARY lost the old word; the check proves nothing";

    // The user's clipboard, in several formats, held by this process. The shortcut pressed twice
    // within one copy capture: the second may neither back up the first one's emptied clipboard
    // nor take the first one's restore for a copy.
    ClipboardItem users;
    users.representations = {
        {u"text/plain"_s, QByteArrayLiteral("senha do usuário")},
        {u"text/html"_s, QByteArrayLiteral("<b>senha</b>")},
        {u"application/x-ovra-test"_s, QByteArrayLiteral("bytes\x01\x02")},
    };
    desktop().clipboard().writeItems({users});
    ASSERT_TRUE(xdotool(u"key alt+super+t sleep 0.1 key alt+super+t"_s));
    EXPECT_TRUE(panelStaysAway(1500ms))
        << "the shortcut showed the word selected before, or the user's clipboard";
    for (const auto& [type, bytes] : users.representations)
        EXPECT_EQ(readSelection(u"clipboard"_s, type), QString::fromUtf8(bytes))
            << "format " << type.toStdString();

    // A clipboard owner that stopped answering: the shortcut's copy stage backs up the clipboard,
    // and the program must go on answering meanwhile rather than wait for the owner.
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
            selectForPanel(app, u"ALVO"_s, &bounds);
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(app.activate());
        const AccessibleElement element = focusedText(app.pid());
        ASSERT_FALSE(element.isNull());
        const auto word = wordBounds(element, u"ALVO"_s);
        ASSERT_TRUE(word);
        if (kind == Kind::Qt)
            selectQuietly(element, word->second, u"ALVO"_s);
        const QString before = textIn(element);
        QString expected = before;
        expected.replace(word->second.location, word->second.length, translation);

        ASSERT_TRUE(xdotool(u"key alt+super+r"_s));
        EXPECT_TRUE(waitUntil([&] { return textIn(element) == expected; }, 10s))
            << "the application holds: " << textIn(element).toStdString();
        EXPECT_TRUE(
            waitUntil([&] { return ovra().hasElement(u"label"_s, u"Substituído ✓"_s); }, 3s))
            << "no card confirmed the replacement; the program shows:\n"
            << ovra().describePanel().toStdString();
        EXPECT_FALSE(ovra().panelFrame()) << "the panel opened for a replacing action";

        ASSERT_TRUE(press(u"Desfazer"_s)) << "no \"Desfazer\" on the card";
        EXPECT_TRUE(waitUntil([&] { return textIn(element) == before; }, 5s))
            << "after Desfazer the application holds: " << textIn(element).toStdString();
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
    selectForPanel(app, u"palavra"_s, &bounds);
    if (HasFatalFailure())
        return;
    const QString before = app.reportedText();

    ASSERT_TRUE(press(u"Mais opções de IA"_s));
    ASSERT_TRUE(press(u"Perguntar"_s));
    const QString name = u"Pergunte sobre a seleção…"_s;
    std::optional<QPoint> field;
    ASSERT_TRUE(waitUntil(
        [&] {
            field = ovra().elementCentre(u"entry"_s, name);
            if (!field)
                field = ovra().elementCentre(u"text"_s, name);
            return field.has_value();
        },
        3s))
        << "no question field; the panel shows:\n"
        << ovra().describePanel().toStdString();
    ASSERT_TRUE(clickAt(*field));
    // On its way the focus passes through "none"; typing then would reach no window.
    ASSERT_TRUE(waitUntil(
        [&] {
            const QString panel = ovra().panelWindowId();
            return !panel.isEmpty() && activeWindow() == panel;
        },
        3s))
        << "the question field did not take the keyboard";

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
    desktop().clipboard().setString(u"do usuário"_s);
    translateInPanel(u"palavra"_s);
    if (HasFatalFailure())
        return;
    QString expected = before;
    expected.replace(before.indexOf(u"palavra"), 7, translation);
    ASSERT_TRUE(press(u"Substituir"_s)) << "no \"Substituir\" button";
    EXPECT_TRUE(waitUntil([&] { return app.reportedText() == expected; }, 5s))
        << "the application holds: " << app.reportedText().toStdString();
    EXPECT_TRUE(isActive(app)) << "the text's window did not get the keyboard back";
    EXPECT_TRUE(ovra().waitForNoPanel(3s)) << "the panel did not hide after the replacement";
    EXPECT_TRUE(waitUntil([] { return readSelection(u"clipboard"_s) == u"do usuário"; }))
        << "the user's clipboard did not come back";

    // Back to the original text for the tests that follow.
    app.refuseAccessibilityWrites(false);
    ASSERT_TRUE(setTextOf(textViewOf(app.pid()), before));
    EXPECT_TRUE(waitUntil([&] { return app.reportedText() == before; }));
}

// Another window of the source application taking the keyboard (Alt+Tab) closes the panel; were
// the panel still up, a replacement would go into the captured window or nowhere, never into the
// other one. Both windows refuse accessibility writes, so only a paste could write.
TEST_F(SelectionRoad, AnotherWindowOfTheSourceClosesThePanelAndGetsNothing) {
    TargetApp app(TargetApp::Kind::Gtk, u"Ovra GTK window A"_s, u"Ovra GTK window B"_s);
    ASSERT_TRUE(app.start());
    app.refuseAccessibilityWrites(true);
    // By keyboard: the focused text element of the process may be the other window's.
    ASSERT_NE(app.windowId(), app.secondWindowId());
    ASSERT_TRUE(app.activate());
    ASSERT_TRUE(selectByKeys(0, 3));
    ASSERT_TRUE(ovra().waitForPanel()) << "no panel for the selection in window A";
    translateInPanel(u"Olá"_s);
    if (HasFatalFailure())
        return;
    const QString otherBefore = app.reportedSecondText();
    ASSERT_FALSE(otherBefore.isEmpty());

    ASSERT_TRUE(activateWindow(app.secondWindowId()));
    const bool closed = ovra().waitForNoPanel(2s);
    EXPECT_TRUE(closed) << "another window of the application left the panel up";
    if (!closed) {
        ASSERT_TRUE(press(u"Substituir"_s));
        waitUntil([] { return false; }, 1500ms);
    }
    EXPECT_EQ(app.reportedSecondText(), otherBefore) << "the other window got the text";
}

} // namespace
} // namespace ovra::e2e
