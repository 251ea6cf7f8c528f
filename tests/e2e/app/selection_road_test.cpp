// The whole road of one selection through the real program on a private desktop: a selection in a
// GTK or Qt application, the panel beside it, a translation from a chat-completions service on
// loopback, the replacement written back into the application, and the ways the panel goes away
// and stays away.
#include "app/selection_road.h"

#include <csignal>

namespace ovra::e2e {
namespace {

// The program runs and a selection brings the panel up; the panel is placed beside it, does not
// take the focus, and its buttons are there.
TEST_F(SelectionRoad, MouseSelectionShowsPanelBesideTheSelection) {
    TargetApp& app = gtkTarget();
    // The program starts its monitors just after it comes up; the first gesture may come before.
    std::optional<QRectF> bounds;
    const bool shown = waitUntil(
        [&] {
            bounds = selectWithMouse(app, QStringLiteral("text"));
            return bounds && ovra().waitForPanel(1500ms);
        },
        10s);
    ASSERT_TRUE(shown) << "no panel after a mouse selection; the program shows:\n"
                       << ovra().describePanel().toStdString();

    expectPanelBeside(*bounds);
    EXPECT_EQ(activeWindow(), app.windowId()) << "the panel took the focus";
    EXPECT_TRUE(ovra().hasElement(QStringLiteral("push button"), QStringLiteral("Traduzir")));
    EXPECT_FALSE(ovra().hasElement(QStringLiteral("push button"), QStringLiteral("Substituir")))
        << "a replace button before any result";
}

TEST_F(SelectionRoad, TranslateShowsTheServiceTextAndReplaceWritesItIntoGtk) {
    TargetApp& app = gtkTarget();
    const auto bounds = selectWithMouse(app, QStringLiteral("naïve"));
    ASSERT_TRUE(bounds);
    ASSERT_TRUE(ovra().waitForPanel());
    const auto word = wordBounds(textOf(app), QStringLiteral("naïve"));
    ASSERT_TRUE(word);

    translateInPanel(QStringLiteral("naïve"));
    if (HasFatalFailure())
        return;
    // The result keeps the panel beside the selection (it may move to the other side as it grows).
    expectPanelBeside(*bounds);
    EXPECT_EQ(activeWindow(), app.windowId()) << "pressing a panel button took the focus";
    replaceInPanel(app, word->second);
}

TEST_F(SelectionRoad, EscapeDismissesAndTheClosedSelectionStaysClosed) {
    TargetApp& app = gtkTarget();
    ASSERT_TRUE(selectWithMouse(app, QStringLiteral("café")));
    ASSERT_TRUE(ovra().waitForPanel());

    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("Escape")}));
    ASSERT_TRUE(ovra().waitForNoPanel(2s)) << "Escape did not dismiss the panel";

    // A click that leaves the selection as it is (on the window's title bar) makes the program
    // look again, finds the very selection that was closed, and shows nothing.
    const auto titleBar = titleBarPoint(app.windowId());
    ASSERT_TRUE(titleBar) << "the window manager draws no title bar";
    ASSERT_TRUE(clickAt(*titleBar));
    EXPECT_FALSE(waitUntil([&] { return ovra().panelFrame().has_value(); }, noPanelWait))
        << "the closed selection came back on the next click";
    const auto element = textOf(app);
    const auto still = ax().selectedText(element);
    ASSERT_TRUE(still.ok());
    ASSERT_EQ(still.value, u"café") << "the click changed the selection; the check proves nothing";

    // One more character is another selection: it is shown.
    ASSERT_TRUE(app.activate());
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("shift+Right")}));
    EXPECT_TRUE(ovra().waitForPanel(3s)) << "a different selection did not show the panel";
}

TEST_F(SelectionRoad, ShortcutOpensThePanelForTheSelection) {
    TargetApp& app = gtkTarget();
    ASSERT_TRUE(app.activate());
    const AccessibleElement element = textOf(app);
    ASSERT_FALSE(element.isNull());
    const auto word = wordBounds(element, QStringLiteral("ALVO"));
    ASSERT_TRUE(word);
    // Selected without any input gesture: nothing captures it until the shortcut is pressed.
    ASSERT_EQ(ax().setSelectedTextRange(element, word->second), AccessStatus::Success);
    ASSERT_TRUE(waitUntil([&] {
        const auto selected = ax().selectedText(element);
        return selected.ok() && selected.value == u"ALVO";
    }));
    ASSERT_FALSE(ovra().panelFrame());

    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("alt+super+t")}));
    ASSERT_TRUE(ovra().waitForPanel(3s)) << "Alt+Super+T showed no panel";
    expectPanelBeside(word->first);
    EXPECT_EQ(activeWindow(), app.windowId());
}

// Qt keeps a selection in PRIMARY after the caret moved it away; the shortcut must not show it.
TEST_F(SelectionRoad, ShortcutIgnoresAStalePrimarySelection) {
    TargetApp& app = qtTarget();
    ASSERT_TRUE(selectWithMouse(app, QStringLiteral("café")));
    ASSERT_TRUE(ovra().waitForPanel());
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("Escape")}));
    ASSERT_TRUE(ovra().waitForNoPanel(2s));
    const AccessibleElement element = textOf(app);
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("ctrl+End")}));
    ASSERT_TRUE(waitUntil([&] {
        const auto selected = ax().selectedText(element);
        return selected.ok() && selected.value.isEmpty();
    }));
    const ToolResult primary =
        runTool(QStringLiteral("xclip"),
                {QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("primary")});
    ASSERT_EQ(primary.output, u"café") << "PRIMARY lost the old word; the check proves nothing";

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
    EXPECT_FALSE(waitUntil([&] { return ovra().panelFrame().has_value(); }, 1500ms))
        << "the shortcut showed the word selected before, or the user's clipboard";
    for (const auto& [type, bytes] : users.representations) {
        const ToolResult held = runTool(QStringLiteral("xclip"),
                                        {QStringLiteral("-o"), QStringLiteral("-selection"),
                                         QStringLiteral("clipboard"), QStringLiteral("-t"), type});
        EXPECT_EQ(held.output, QString::fromUtf8(bytes)) << "format " << type.toStdString();
    }
}

// A clipboard owner that stopped answering: the shortcut's copy stage backs up the clipboard, and
// the program must go on answering meanwhile rather than wait for the owner.
TEST_F(SelectionRoad, AStoppedClipboardOwnerLeavesTheShortcutResponsive) {
    TargetApp& app = qtTarget();
    ASSERT_TRUE(app.activate());
    const AccessibleElement element = textOf(app);
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("ctrl+End")}));
    ASSERT_TRUE(waitUntil([&] {
        const auto selected = ax().selectedText(element);
        return selected.ok() && selected.value.isEmpty();
    }));
    QProcess owner;
    owner.start(QStringLiteral("xclip"), {QStringLiteral("-quiet"), QStringLiteral("-selection"),
                                          QStringLiteral("clipboard"), QStringLiteral("-i")});
    ASSERT_TRUE(owner.waitForStarted());
    owner.write("held by a stopped owner");
    owner.closeWriteChannel();
    ASSERT_TRUE(waitUntil([] {
        return runTool(QStringLiteral("xclip"), {QStringLiteral("-o"), QStringLiteral("-selection"),
                                                 QStringLiteral("clipboard")})
                   .output == u"held by a stopped owner";
    }));
    ::kill(static_cast<pid_t>(owner.processId()), SIGSTOP);

    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("alt+super+t")}));
    const auto stall = longestStall(2500ms);
    std::fprintf(stderr, "longest stall with a stopped clipboard owner: %lld ms\n",
                 static_cast<long long>(stall.count()));
    ::kill(static_cast<pid_t>(owner.processId()), SIGCONT);
    owner.kill();
    owner.waitForFinished();
    // Less than the clipboard read's own deadline (300 ms): the program did not sit out even that.
    EXPECT_LT(stall.count(), 250);
    EXPECT_FALSE(ovra().panelFrame());
}

TEST_F(SelectionRoad, IgnoredApplicationGetsNoPanel) {
    // The Qt target under the name the settings ignore.
    ASSERT_TRUE(road->ignoredDir.isValid());
    const QString copy = road->ignoredDir.filePath(ignoredID);
    ASSERT_TRUE(QFile::copy(QStringLiteral(OVRA_QT_TARGET), copy));
    ASSERT_TRUE(QFile::setPermissions(copy, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    auto& process = road->ignoredApp;
    process = std::make_unique<QProcess>();
    const QString title = QStringLiteral("Ovra ignored target");
    process->start(copy, {title, road->ignoredDir.filePath(QStringLiteral("text"))});
    ASSERT_TRUE(process->waitForStarted(5000));
    QString window;
    ASSERT_TRUE(waitUntil(
        [&] {
            const ToolResult found =
                runTool(QStringLiteral("xdotool"),
                        {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                         QStringLiteral("--pid"), QString::number(process->processId()),
                         QStringLiteral("--name"), u'^' + title + u'$'});
            window = found.output.section(u'\n', 0, 0).trimmed();
            return found.exitCode == 0 && !window.isEmpty();
        },
        15s));
    ASSERT_TRUE(waitUntil(
        [&] {
            if (activeWindow() == window)
                return true;
            xdotool({QStringLiteral("windowactivate"), window});
            return false;
        },
        5s));
    const qint32 pid = qint32(process->processId());
    AccessibleElement element;
    ASSERT_TRUE(waitUntil([&] {
        const auto focused = ax().focusedElement(ax().applicationElement(pid));
        element = focused.ok() ? focused.value : AccessibleElement();
        return !element.isNull();
    }));
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+Home")});
    const auto word = wordBounds(element, QStringLiteral("naïve"));
    ASSERT_TRUE(word);
    ASSERT_TRUE(drag(element, word->second));
    ASSERT_TRUE(waitUntil([&] {
        const auto selected = ax().selectedText(element);
        return selected.ok() && selected.value == u"naïve";
    }));
    EXPECT_FALSE(waitUntil([&] { return ovra().panelFrame().has_value(); }, noPanelWait))
        << "a selection in an ignored application showed the panel";

    // Nor through the shortcut, whose copy fallback applies the same rule.
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("alt+super+t")}));
    EXPECT_FALSE(waitUntil([&] { return ovra().panelFrame().has_value(); }, 1500ms))
        << "the shortcut showed the panel for an ignored application";

    process->terminate();
    process->waitForFinished(3000);
}

TEST_F(SelectionRoad, QtApplicationTextIsCapturedAndReplaced) {
    TargetApp& app = qtTarget();
    const auto bounds = selectWithMouse(app, QStringLiteral("naïve"));
    ASSERT_TRUE(bounds);
    ASSERT_TRUE(ovra().waitForPanel()) << "no panel for a selection in the Qt application";
    expectPanelBeside(*bounds);
    const auto word = wordBounds(textOf(app), QStringLiteral("naïve"));
    ASSERT_TRUE(word);
    translateInPanel(QStringLiteral("naïve"));
    if (HasFatalFailure())
        return;
    replaceInPanel(app, word->second);
}

// The replacing action's shortcut, in the GTK and the Qt application, on a selection made without
// any gesture: replaced without the panel, then undone from the card.
TEST_F(SelectionRoad, TranslateAndReplaceByItsShortcutThenUndo) {
    for (TargetApp* app : {&gtkTarget(), &qtTarget()}) {
        SCOPED_TRACE(app == &gtkTarget() ? "GTK" : "Qt");
        ASSERT_TRUE(app->activate());
        const AccessibleElement element = textOf(*app);
        ASSERT_FALSE(element.isNull());
        const auto word = wordBounds(element, QStringLiteral("ALVO"));
        ASSERT_TRUE(word);
        ASSERT_EQ(ax().setSelectedTextRange(element, word->second), AccessStatus::Success);
        ASSERT_TRUE(waitUntil([&] {
            const auto selected = ax().selectedText(element);
            return selected.ok() && selected.value == u"ALVO";
        }));
        replaceByShortcutAndUndo(element, word->second);
        EXPECT_EQ(activeWindow(), app->windowId()) << "the card took the focus";
    }
}

// The question field is the one place the panel takes the keyboard; doing so is no application
// switch, so the panel stays up, and the question reaches the service.
TEST_F(SelectionRoad, QuestionFieldTakesTheKeyboardWithoutClosingThePanel) {
    TargetApp& app = gtkTarget();
    ASSERT_TRUE(selectWithMouse(app, QStringLiteral("Segunda")));
    ASSERT_TRUE(ovra().waitForPanel());
    ASSERT_TRUE(press(QStringLiteral("Mais opções de IA")));
    ASSERT_TRUE(press(QStringLiteral("Perguntar")));

    const QString fieldName = QStringLiteral("Pergunte sobre a seleção…");
    std::optional<QPoint> field;
    ASSERT_TRUE(waitUntil(
        [&] {
            field = ovra().elementCentre(QStringLiteral("entry"), fieldName);
            if (!field)
                field = ovra().elementCentre(QStringLiteral("text"), fieldName);
            return field.has_value();
        },
        3s))
        << "no question field; the panel shows:\n"
        << ovra().describePanel().toStdString();
    const std::size_t before = road->chat.requests().size();
    ASSERT_TRUE(clickAt(*field));
    // On its way the focus passes through "none"; typing then would reach no window.
    ASSERT_TRUE(waitUntil(
        [&] {
            const QString panel = ovra().panelWindowId();
            return !panel.isEmpty() && activeWindow() == panel;
        },
        3s))
        << "the question field did not take the keyboard";
    ASSERT_TRUE(xdotool({QStringLiteral("type"), QStringLiteral("what is this")}));
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("Return")}));

    ASSERT_TRUE(waitUntil([&] { return road->chat.requests().size() > before; }, 10s))
        << "the question never reached the service; the panel shows:\n"
        << ovra().describePanel().toStdString();
    const QJsonObject body =
        QJsonDocument::fromJson(QByteArray::fromStdString(road->chat.requests().back().body))
            .object();
    const QJsonArray messages = body.value(QStringLiteral("messages")).toArray();
    ASSERT_FALSE(messages.isEmpty());
    EXPECT_EQ(messages.last().toObject().value(QStringLiteral("content")).toString(),
              u"what is this");
    EXPECT_TRUE(ovra().panelFrame().has_value()) << "taking the keyboard closed the panel";
}

// The question field took the keyboard, so the panel is the active window; the text view then
// refuses the accessibility write (its delete goes through, its insert does not). The program puts
// the deleted text back, gives the keyboard back to the text's window and pastes there.
TEST_F(SelectionRoad, ReplaceAfterTheQuestionFieldPastesIntoTheSourceWindow) {
    TargetApp& app = gtkTarget();
    const auto bounds = selectWithMouse(app, QStringLiteral("palavra"));
    ASSERT_TRUE(bounds);
    ASSERT_TRUE(ovra().waitForPanel());
    const AccessibleElement element = textOf(app);
    const auto word = wordBounds(element, QStringLiteral("palavra"));
    ASSERT_TRUE(word);
    const QString before = app.reportedText();

    ASSERT_TRUE(press(QStringLiteral("Mais opções de IA")));
    ASSERT_TRUE(press(QStringLiteral("Perguntar")));
    std::optional<QPoint> field;
    ASSERT_TRUE(waitUntil(
        [&] {
            const QString name = QStringLiteral("Pergunte sobre a seleção…");
            field = ovra().elementCentre(QStringLiteral("entry"), name);
            if (!field)
                field = ovra().elementCentre(QStringLiteral("text"), name);
            return field.has_value();
        },
        3s));
    ASSERT_TRUE(clickAt(*field));
    ASSERT_TRUE(waitUntil([&] { return activeWindow() == ovra().panelWindowId(); }, 3s))
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
    desktop().clipboard().setString(QStringLiteral("do usuário"));
    translateInPanel(QStringLiteral("palavra"));
    if (HasFatalFailure())
        return;
    QString expected = before;
    expected.replace(word->second.location, word->second.length, translation);
    ASSERT_TRUE(press(QStringLiteral("Substituir"))) << "no \"Substituir\" button";
    EXPECT_TRUE(waitUntil([&] { return app.reportedText() == expected; }, 5s))
        << "the application holds: " << app.reportedText().toStdString();
    EXPECT_EQ(activeWindow(), app.windowId()) << "the text's window did not get the keyboard back";
    EXPECT_TRUE(ovra().waitForNoPanel(3s)) << "the panel did not hide after the replacement";
    EXPECT_TRUE(waitUntil([] {
        return runTool(QStringLiteral("xclip"), {QStringLiteral("-o"), QStringLiteral("-selection"),
                                                 QStringLiteral("clipboard")})
                   .output == u"do usuário";
    })) << "the user's clipboard did not come back";

    // Back to the original text for the tests that follow.
    app.refuseAccessibilityWrites(false);
    ASSERT_EQ(ax().setSelectedTextRange(element, {word->second.location, translation.size()}),
              AccessStatus::Success);
    ASSERT_EQ(ax().setSelectedText(element, QStringLiteral("palavra")), AccessStatus::Success);
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

// A key that types into the application, or moves its caret, leaves the panel about text that is
// no longer selected: it goes. Also after the shortcut, whose modifiers are let go while its grab
// is active.
TEST_F(SelectionRoad, TypingIntoTheApplicationHidesThePanel) {
    TargetApp& app = gtkTarget();
    ASSERT_TRUE(app.activate());
    const AccessibleElement element = textOf(app);
    const auto word = wordBounds(element, QStringLiteral("here"));
    ASSERT_TRUE(word);
    ASSERT_EQ(ax().setSelectedTextRange(element, word->second), AccessStatus::Success);
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("alt+super+t")}));
    ASSERT_TRUE(ovra().waitForPanel(3s)) << "Alt+Super+T showed no panel";
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("Right")}));
    EXPECT_TRUE(ovra().waitForNoPanel(2s)) << "the panel stayed while the user typed";
}

} // namespace
} // namespace ovra::e2e
