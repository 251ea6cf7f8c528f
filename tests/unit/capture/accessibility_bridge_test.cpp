#include "capture_fixture.h"

using namespace ovra;
using namespace ovra::test;
using namespace Qt::StringLiterals;

namespace {

class BridgeTest : public CaptureFixture {};

// A chain below `top`: returns the nodes from depth 1 to `length`.
std::vector<std::shared_ptr<FakeNode>> chainBelow(const std::shared_ptr<FakeNode>& top,
                                                  int length) {
    std::vector<std::shared_ptr<FakeNode>> chain;
    auto current = top;
    for (int i = 0; i < length; ++i) {
        current = current->addChild(u"level %1"_s.arg(i + 1));
        chain.push_back(current);
    }
    return chain;
}

} // namespace

TEST(SelectionText, CountsCharactersNotWhiteSpaceWithSurrogatesAsOne) {
    EXPECT_FALSE(SelectionText::isCapturable(u"x"));
    EXPECT_FALSE(SelectionText::isCapturable(u"  \n x \t\r\n"));
    EXPECT_TRUE(SelectionText::isCapturable(u"a b"));
    // One emoji is two UTF-16 units but a single character.
    EXPECT_FALSE(SelectionText::isCapturable(u"\U0001F600"));
    EXPECT_TRUE(SelectionText::isCapturable(u"\U0001F600\U0001F600"));
    // A no-break space and an ideographic space are white space too.
    EXPECT_FALSE(SelectionText::isCapturable(u"a\u00A0\u3000"));
    EXPECT_EQ(SelectionText::wholeTextRange(u"\U0001F600 ok"), (TextRange{0, 5}));
}

TEST_F(BridgeTest,
       SnapshotKeepsTextFallsBackToTheWholeTextRangeRefusesThinTextAndBadSizesTellsEditable) {
    const auto node = editorTextWith(u" \U0001F600 ok\n"_s);
    const auto snapshot = bridge.snapshot(FakeAccessibility::elementFor(node), QPointF(5, 6));
    ASSERT_TRUE(snapshot);
    EXPECT_EQ(snapshot->text, u" \U0001F600 ok\n"_s);
    EXPECT_EQ(snapshot->range, (TextRange{0, 7}));
    EXPECT_EQ(snapshot->pid, editorPid);
    EXPECT_EQ(snapshot->appId, u"org.example.Editor"_s);
    EXPECT_EQ(snapshot->appName, u"Editor"_s);
    EXPECT_EQ(snapshot->mouseAtCapture, QPointF(5, 6));
    EXPECT_FALSE(snapshot->screenBounds);
    EXPECT_TRUE(snapshot->isEditable); // text area role
    EXPECT_TRUE(snapshot->element == FakeAccessibility::elementFor(node));

    node->selectedRange = TextRange{12, 7};
    EXPECT_EQ(bridge.snapshot(FakeAccessibility::elementFor(node), {})->range, (TextRange{12, 7}));

    // Thin text, an unknown process and broken ranges.
    node->selectedText = u" a\n "_s;
    const auto element = FakeAccessibility::elementFor(node);
    EXPECT_FALSE(bridge.snapshot(element, {}));
    node->selectedText.reset();
    EXPECT_FALSE(bridge.snapshot(element, {}));

    node->selectedText = u"hello"_s;
    node->pid = 0;
    EXPECT_FALSE(bridge.snapshot(element, {}));

    // A negative length from the application must not reach the snapshot.
    node->pid = 7; // a process the workspace does not know
    node->selectedRange = TextRange{3, -2};
    const auto repaired = bridge.snapshot(element, {});
    ASSERT_TRUE(repaired);
    EXPECT_EQ(repaired->range, (TextRange{0, 5}));
    EXPECT_EQ(repaired->appId, QString());
    EXPECT_EQ(repaired->appName, QString());

    // Bounds and a frame need a sane size.
    node->rangeBounds = QRectF(10, 100, 0, 20); // a caret
    EXPECT_EQ(bridge.screenBounds(element, {0, 0}), QRectF(10, 100, 0, 20));
    node->rangeBounds = QRectF(10, 100, -1, 20);
    EXPECT_FALSE(bridge.screenBounds(element, {0, 5}));
    node->rangeBounds = QRectF(10, 100, 5, -20);
    EXPECT_FALSE(bridge.screenBounds(element, {0, 5}));
    EXPECT_FALSE(bridge.screenFrame(element));
    node->frame = QRectF(0, 0, 0, 40);
    EXPECT_FALSE(bridge.screenFrame(element));

    // Editable by a settable text or value, or by a text role.
    const struct {
        std::optional<ElementRole> role;
        bool valueSettable;
        bool selectedTextSettable;
        bool editable;
    } cases[] = {{ElementRole::Other, false, false, false},
                 {std::nullopt, false, false, false},
                 {std::nullopt, true, false, true},
                 {std::nullopt, false, true, true},
                 {ElementRole::TextField, false, false, true},
                 {ElementRole::TextArea, false, false, true},
                 {ElementRole::ComboBox, false, false, true},
                 {ElementRole::Toolbar, false, false, false}};
    for (const auto& [role, value, selected, editable] : cases) {
        node->role = role;
        node->valueSettable = value;
        node->selectedTextSettable = selected;
        EXPECT_EQ(bridge.computeIsEditable(element), editable);
    }
}

TEST_F(BridgeTest, FocusCandidatesAreDistinctAndTheEnhancedInterfaceIsAskedOncePerProcess) {
    const auto node = editorTextWith(u"hello"_s);
    fake.accessibility.systemFocus = node;
    fake.accessibility.application(editorPid)->focused = node;
    EXPECT_EQ(bridge.focusedElementCandidates().size(), 1); // the same element reached twice
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(bridge.captureSelection({}));
    EXPECT_EQ(fake.accessibility.enhancedApplications, QList<qint32>{editorPid});

    const auto other = editorTextWith(u"other"_s);
    fake.accessibility.application(editorPid)->focused = other;
    const auto candidates = bridge.focusedElementCandidates();
    ASSERT_EQ(candidates.size(), 2);
    EXPECT_TRUE(candidates[0] == FakeAccessibility::elementFor(node));
    EXPECT_TRUE(candidates[1] == FakeAccessibility::elementFor(other));

    auto browser = fake.accessibility.application(77)->addChild();
    browser->selectedText = u"web text"_s;
    fake.accessibility.systemFocus = browser;
    ASSERT_TRUE(bridge.captureSelection({}));
    EXPECT_EQ(fake.accessibility.enhancedApplications, (QList<qint32>{editorPid, 77}));

    fake.accessibility.failSystemFocus = true;
    fake.workspace.frontmost.reset();
    EXPECT_TRUE(bridge.focusedElementCandidates().isEmpty());
}

TEST_F(BridgeTest, FocusedSelectionWinsThenThePointerWalkClimbsTwelveElementsAtMost) {
    const auto app = fake.accessibility.application(editorPid);
    const auto chain = chainBelow(app, 14); // depth 1 .. 14
    fake.accessibility.nodeAtPoint = chain.back();
    const auto focused = editorTextWith(u"focused"_s);
    app->focused = focused;
    EXPECT_EQ(textOf(bridge.captureSelection(QPointF(1, 2))), u"focused"_s);
    EXPECT_TRUE(fake.accessibility.pointQueries.isEmpty());
    focused->selectedText.reset();

    // A web area: the focused element reports nothing, the text sits above the pointed element.
    app->focused = chain[0];

    chain[14 - 12]->selectedText = u"11 up"_s; // the 12th element of the walk
    EXPECT_EQ(textOf(bridge.captureSelection(QPointF(30, 80))), u"11 up"_s);
    EXPECT_EQ(fake.accessibility.pointQueries.last(), QPointF(30, 80));

    chain[14 - 12]->selectedText.reset();
    chain[14 - 13]->selectedText = u"12 up"_s; // the 13th: out of the walk's reach
    // ... and out of both searches' reach: it is above the pointed element, and the focused one
    // (chain[0]) is 13 levels above the only other place the text could be found from.
    app->focused.reset();
    EXPECT_FALSE(bridge.captureSelection(QPointF(30, 80)));

    // The walk stops where a parent cannot be read.
    chain[14 - 13]->selectedText.reset();
    chain[14 - 3]->selectedText = u"2 up"_s;
    chain[14 - 2]->failParent = true;
    const int reads = chain[14 - 3]->selectedTextReads;
    EXPECT_FALSE(bridge.captureSelection(QPointF(30, 80)));
    EXPECT_EQ(chain[14 - 3]->selectedTextReads, reads);
}

TEST_F(BridgeTest, SearchNeverExaminesThe351stElementNorGoesBelowDepthEightNorTwiceFromOnePlace) {
    const auto app = fake.accessibility.application(editorPid);
    const auto root = app->addChild(u"root"_s);
    for (int i = 0; i < 400; ++i)
        root->addChild();
    // Breadth first: the root is the 1st element, child k (from 0) the (k+2)th.
    root->children[348]->selectedText = u"found it"_s;
    EXPECT_EQ(textOf(bridge.searchSelection(FakeAccessibility::elementFor(root), {})),
              u"found it"_s);

    root->children[348]->selectedText.reset();
    root->children[349]->selectedText = u"one too far"_s;
    EXPECT_FALSE(bridge.searchSelection(FakeAccessibility::elementFor(root), {}));
    EXPECT_EQ(FakeAccessibility::examinedIn(root), 350 + 350); // each search: exactly 350

    // Down to depth eight only, skipping children that cannot be read.
    root->children.clear();
    const auto blocked = root->addChild();
    blocked->failChildren = true;
    blocked->addChild()->selectedText = u"hidden"_s;
    const auto chain = chainBelow(root, 9);
    chain[7]->selectedText = u"depth eight"_s;
    EXPECT_EQ(textOf(bridge.searchSelection(FakeAccessibility::elementFor(root), {})),
              u"depth eight"_s);

    chain[7]->selectedText.reset();
    chain[8]->selectedText = u"depth nine"_s;
    EXPECT_FALSE(bridge.searchSelection(FakeAccessibility::elementFor(root), {}));

    // A capture searches from the pointer, then from the candidates, each element once.
    const auto area = app->addChild(u"web area"_s);
    app->focused = area;
    fake.accessibility.nodeAtPoint = area; // the same element twice
    const auto below = chainBelow(area, 3);
    EXPECT_FALSE(bridge.captureSelection(QPointF(1, 1)));
    // Focused pass, pointer walk (area and app), one search from area: area read 3 times.
    EXPECT_EQ(area->selectedTextReads, 3);
    EXPECT_EQ(below.back()->selectedTextReads, 1);

    below.back()->selectedText = u"deep inside"_s;
    EXPECT_EQ(textOf(bridge.captureSelection(QPointF(1, 1))), u"deep inside"_s);
}

TEST_F(BridgeTest, ExternalTextTakesTheFrontmostApplicationAndItsFocusedElement) {
    auto foreign = fake.accessibility.application(99)->addChild();
    fake.accessibility.systemFocus = foreign; // focus reported in another process
    const auto field = editorTextWith(u"ignored here"_s);
    field->selectedRange = TextRange{4, 9};
    fake.accessibility.application(editorPid)->focused = field;

    auto snapshot = bridge.snapshotFromExternalText(u"copied\U0001F600"_s, QPointF(7, 8));
    ASSERT_TRUE(snapshot);
    EXPECT_TRUE(snapshot->element == FakeAccessibility::elementFor(field));
    EXPECT_EQ(snapshot->text, u"copied\U0001F600"_s);
    EXPECT_EQ(snapshot->range, (TextRange{4, 9}));
    EXPECT_EQ(snapshot->pid, editorPid);
    EXPECT_EQ(snapshot->appName, u"Editor"_s);
    EXPECT_FALSE(snapshot->screenBounds);
    EXPECT_EQ(snapshot->mouseAtCapture, QPointF(7, 8));
    EXPECT_TRUE(snapshot->isEditable);

    fake.accessibility.application(editorPid)->focused.reset();
    snapshot = bridge.snapshotFromExternalText(u"copied\U0001F600"_s, {});
    ASSERT_TRUE(snapshot);
    EXPECT_TRUE(snapshot->element.isNull());
    EXPECT_EQ(snapshot->range, (TextRange{0, 8}));
    EXPECT_FALSE(snapshot->isEditable);

    fake.workspace.frontmost->pid = 0;
    EXPECT_FALSE(bridge.snapshotFromExternalText(u"copied"_s, {}));
    fake.workspace.frontmost.reset();
    EXPECT_FALSE(bridge.snapshotFromExternalText(u"copied"_s, {}));
}

TEST_F(BridgeTest, ToolbarsDownToDepthFourInTheFirstThreeWindowsAtMostSix) {
    const auto app = fake.accessibility.application(editorPid);
    auto makeWindow = [&] {
        auto window = std::make_shared<FakeNode>();
        window->pid = editorPid;
        app->windows.push_back(window);
        return window;
    };
    auto makeToolbar = [](const std::shared_ptr<FakeNode>& under, double y) {
        under->role = ElementRole::Other;
        auto bar = under->addChild(u"toolbar"_s);
        bar->role = ElementRole::Toolbar;
        bar->frame = QRectF(0, y, 600, 30);
        bar->addChild()->role = ElementRole::Toolbar; // nested bars are not looked into
        bar->children[0]->frame = QRectF(0, 0, 10, 10);
        return bar;
    };
    const auto first = makeWindow();
    makeToolbar(chainBelow(first, 3).back(), 100); // at depth 4: collected
    makeToolbar(chainBelow(first, 4).back(), 200); // at depth 5: not collected
    for (int i = 0; i < 3; ++i)
        makeWindow();
    makeToolbar(app->windows[3], 300); // the fourth window is not looked at

    EXPECT_EQ(bridge.toolbarRects(editorPid), QList<QRectF>{QRectF(0, 100, 600, 30)});

    // Collection stops once more than five are found.
    app->windows.clear();
    for (int w = 0; w < 3; ++w) {
        const auto window = makeWindow();
        for (int i = 0; i < 4; ++i) {
            auto bar = window->addChild();
            bar->role = ElementRole::Toolbar;
            bar->frame = QRectF(w * 100, i * 40, 90, 30);
        }
    }
    const auto rects = bridge.toolbarRects(editorPid);
    ASSERT_EQ(rects.size(), 6);
    EXPECT_EQ(rects.last(), QRectF(100, 40, 90, 30));
    EXPECT_TRUE(bridge.toolbarRects(12345).isEmpty()); // no windows at all
}
