#include "capture_fixture.h"

using namespace ovra;
using namespace ovra::test;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

// The editor with a deep tree (menus, toolbars) around its text, as real applications have.
class AccessibilityCaptureTest : public CaptureFixture {
protected:
    AccessibilityCaptureTest() {
        for (int i = 0; i < 40; ++i)
            fake.accessibility.application(editorPid)->addChild(u"item"_s)->selectedText = u""_s;
        text = editorTextWith(u"world"_s);
        text->selectedRange = TextRange{6, 5};
        text->rangeBounds = QRectF(100, 200, 50, 20);
        text->selectedTextSettable = true;
    }

    // Starts a capture; its outcome lands in `out` whenever it ends.
    void start(std::optional<CaptureOutcome>& out, CaptureKind kind = CaptureKind::Automatic) {
        [](auto& out, auto task) -> QCoro::Task<void> {
            out = co_await std::move(task);
        }(out, accessibilityCapture.captureSelection(QPointF(10, 10), kind));
    }
    std::optional<CaptureOutcome> capture(CaptureKind kind = CaptureKind::Automatic) {
        std::optional<CaptureOutcome> result;
        start(result, kind);
        clock.runDue();
        return result;
    }

    std::shared_ptr<FakeNode> text;
};

} // namespace

TEST_F(AccessibilityCaptureTest, SelectionEventLeadsToTheElementInAFewCallsLongOnesByTheFirstLine) {
    fake.accessibility.reportSelection(text);
    const auto outcome = capture();
    ASSERT_TRUE(outcome && outcome->snapshot);
    EXPECT_EQ(outcome->snapshot->text, u"world"_s);
    EXPECT_EQ(outcome->snapshot->range, (TextRange{6, 5}));
    EXPECT_EQ(outcome->snapshot->appName, u"Editor"_s);
    EXPECT_TRUE(outcome->snapshot->isEditable);
    EXPECT_EQ(outcome->snapshot->screenBounds, QRectF(100, 200, 50, 20));
    // Range, text, bounds, editability: no search of the tree.
    EXPECT_LE(fake.accessibility.calls, 4);
    EXPECT_EQ(FakeAccessibility::examinedIn(fake.accessibility.application(editorPid)), 1);

    // A long selection is placed by its first line.
    text->selectedText = QString(120, u'a') + u'\n' + QString(5000, u'b');
    text->selectedRange = TextRange{10, text->selectedText->size()};
    ASSERT_TRUE(capture()->snapshot);
    EXPECT_EQ(fake.accessibility.boundsQueries,
              (QList<TextRange>{TextRange{6, 5}, TextRange{10, 120}}));
}

TEST_F(AccessibilityCaptureTest, StaleEventElementFallsBackToTheUsualPlaces) {
    fake.accessibility.application(editorPid)->focused = text;
    auto emptied = editorTextWith(QString());
    emptied->selectedRange = TextRange{3, 0};
    auto gone = std::make_shared<FakeNode>();
    gone->pid = editorPid;
    gone->selectedText = u"old text"_s;
    gone->selectedRange = TextRange{0, 8};
    for (auto* stale : {&emptied, &gone}) {
        fake.accessibility.reportSelection(*stale);
        if (stale == &gone)
            gone.reset(); // the element no longer exists
        EXPECT_EQ(textOf(capture()->snapshot), u"world"_s);
    }
}

TEST_F(AccessibilityCaptureTest,
       TimeOutStopsTheCaptureAndTheAutomaticOneSkipsTheAppFor30sOrUntilAReport) {
    text->hangs = true;
    fake.accessibility.reportSelection(text);
    const auto outcome = capture();
    EXPECT_TRUE(outcome && outcome->timedOut && !outcome->snapshot);
    EXPECT_EQ(fake.accessibility.calls, 1); // nothing asked after the call that timed out

    EXPECT_TRUE(capture()->skipped);
    EXPECT_EQ(fake.accessibility.calls, 1);
    EXPECT_TRUE(capture(CaptureKind::Manual)->timedOut); // the shortcut still asks
    EXPECT_EQ(fake.accessibility.calls, 2);

    text->hangs = false;
    clock.advance(AccessibilityCapture::unresponsiveSkip - 1ms);
    EXPECT_TRUE(capture()->skipped);
    clock.advance(1ms);
    EXPECT_EQ(textOf(capture()->snapshot), u"world"_s);

    // A new selection report ends the skip early: the application answers again.
    text->hangs = true;
    ASSERT_TRUE(capture()->timedOut);
    text->hangs = false;
    EXPECT_TRUE(capture()->skipped);
    fake.accessibility.reportSelection(text);
    ASSERT_TRUE(capture()->snapshot);
    EXPECT_FALSE(accessibilityCapture.isSkipped(editorPid));
}

TEST_F(AccessibilityCaptureTest, WholeCaptureDeadlineAbandonsWorkThatHasNotAnswered) {
    thread.holding = true;
    fake.accessibility.reportSelection(text);
    std::optional<CaptureOutcome> outcome;
    start(outcome);
    clock.runDue();
    EXPECT_FALSE(outcome);
    clock.advance(AccessibilityCapture::captureDeadline - 1ms);
    EXPECT_FALSE(outcome);
    clock.advance(1ms);
    ASSERT_TRUE(outcome);
    EXPECT_TRUE(outcome->timedOut);
    thread.release(); // the abandoned job asks nothing any more
    clock.runDue();
    EXPECT_EQ(fake.accessibility.calls, 0);
    // Slow is not hung: only a call that ran into the time-out makes the application skipped.
    EXPECT_FALSE(accessibilityCapture.isSkipped(editorPid));
}
