#include "capture_fixture.h"

#include "capture/copy_capture.h"

#include <QLoggingCategory>

using namespace ovra;
using namespace ovra::test;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

ClipboardItem imageAndString() {
    return ClipboardItem{{{u"image/png"_s, QByteArrayLiteral("\x89PNG-bytes")},
                          {u"text/html"_s, QByteArrayLiteral("<b>mine</b>")},
                          {ClipboardTypes::plainText, QByteArrayLiteral("mine")}}};
}

class CopyCaptureTest : public CaptureFixture {
protected:
    CopyCaptureTest() { fake.clipboard.items = {imageAndString()}; }

    std::optional<SelectionSnapshot> runToEnd(QCoro::Task<std::optional<SelectionSnapshot>> task) {
        while (!task.isReady() && clock.runNext()) {
        }
        EXPECT_TRUE(task.isReady());
        std::optional<SelectionSnapshot> result;
        [&]() -> QCoro::Task<void> { result = co_await task; }();
        return result;
    }

    CopyCapture copyCapture{fake.platform, accessibilityCapture, clock, clipboardLease, filter()};
};

} // namespace

TEST_F(CopyCaptureTest, RefusalsLeaveTheClipboardAloneAndSendNoKeystroke) {
    editorCopiesAfter(10ms, u"selected"_s);
    const auto refused = [&](const char* why) {
        SCOPED_TRACE(why);
        const qint64 changeCount = fake.clipboard.changeCount();
        EXPECT_FALSE(runToEnd(copyCapture.capture(QPointF(1, 1))));
        EXPECT_EQ(fake.clipboard.changeCount(), changeCount);
        EXPECT_EQ(fake.clipboard.items, QList<ClipboardItem>{imageAndString()});
        EXPECT_TRUE(fake.keys.copiesPosted.isEmpty());
    };
    ignored.insert(editor.appId);
    fake.clipboard.primary = PrimarySelection{u"secret stuff"_s, editorPid, 1s};
    refused("ignored application, even with its fresh PRIMARY");
    fake.clipboard.primary.reset();
    ignored.clear();

    fake.workspace.frontmost = RunningApplication{5, u"io.ovra.Ovra"_s, {}};
    refused("this application");
    fake.workspace.frontmost = RunningApplication{5, QString(), u"No id"_s};
    refused("no application id");
    fake.workspace.frontmost.reset();
    refused("nothing frontmost");
    fake.workspace.frontmost = editor;
    fake.keys.reachesApplications = false;
    refused("no keystroke reaches applications");

    // A terminal taking no copy chord: nothing sent, no wait, the clipboard as it was.
    fake.keys.reachesApplications = true;
    fake.keys.takesKeys = false;
    const Duration startedAt = clock.now();
    EXPECT_FALSE(runToEnd(copyCapture.capture(QPointF(0, 0))));
    EXPECT_EQ(clock.now(), startedAt);
    EXPECT_EQ(fake.clipboard.items, QList<ClipboardItem>{imageAndString()});
    EXPECT_TRUE(fake.keys.copiesPosted.isEmpty());
}

// A copy within the first wait is taken at 180 ms, a late one at 300 ms; one later still is missed
// and left on the clipboard. Every type of the user's clipboard comes back in each case. The copy
// needs no accessibility.
TEST_F(CopyCaptureTest, ACopyIsTakenWithinTheTwoWaitsAndMissedAfter) {
    fake.accessibility.trusted = false;
    fake.clipboard.items.append(
        ClipboardItem{{{u"text/uri-list"_s, QByteArrayLiteral("file:///tmp/a")}}});
    const QList<ClipboardItem> before = fake.clipboard.items;
    const struct {
        Duration copiedAfter;
        Duration endsAfter;
        bool taken;
    } cases[] = {{100ms, 180ms, true}, {200ms, 300ms, true}, {350ms, 300ms, false}};
    for (const auto& [copiedAfter, endsAfter, taken] : cases) {
        SCOPED_TRACE(copiedAfter.count());
        editorCopiesAfter(copiedAfter, u"copied words"_s);
        fake.keys.copiesPosted.clear();
        auto task = copyCapture.capture(QPointF(3, 4));
        EXPECT_EQ(fake.keys.copiesPosted, QList<qint32>{editorPid});
        EXPECT_TRUE(fake.clipboard.items.isEmpty()); // cleared before the keystroke
        clock.advance(endsAfter - 1ms);
        EXPECT_FALSE(task.isReady());
        clock.advance(1ms);
        ASSERT_TRUE(task.isReady());
        const auto snapshot = runToEnd(std::move(task));
        EXPECT_EQ(fake.clipboard.items, before);
        ASSERT_EQ(snapshot.has_value(), taken);
        if (!taken) {
            clock.advance(50ms);
            EXPECT_EQ(fake.clipboard.string(), u"copied words"_s);
            continue;
        }
        EXPECT_EQ(snapshot->text, u"copied words"_s);
        EXPECT_EQ(snapshot->pid, editorPid);
        EXPECT_FALSE(snapshot->screenBounds);
        EXPECT_EQ(snapshot->mouseAtCapture, QPointF(3, 4));
    }
}

// The shortcut pressed twice: the second capture must neither back up the first one's emptied
// clipboard (the user's would be lost) nor take the first one's restore for a copy (the user's
// clipboard shown as the selection). Nor is the clipboard's own text, put back by a clipboard
// manager when it was emptied, a selection.
TEST_F(CopyCaptureTest, TwoCapturesAtOnceOrACancelledOneKeepTheClipboardAndNeverShowIt) {
    const QList<ClipboardItem> before = fake.clipboard.items;
    auto first = copyCapture.capture(QPointF(0, 0)); // nothing selected: nothing is copied
    clock.advance(100ms);
    auto second = copyCapture.capture(QPointF(5, 5));
    EXPECT_FALSE(runToEnd(std::move(first)));
    EXPECT_FALSE(runToEnd(std::move(second)));
    EXPECT_EQ(fake.clipboard.items, before);
    EXPECT_EQ(fake.keys.copiesPosted.size(), 1);

    editorCopiesAfter(10ms, u"mine"_s);
    EXPECT_FALSE(runToEnd(copyCapture.capture(QPointF(0, 0))));
    EXPECT_EQ(fake.clipboard.items, before);
    EXPECT_FALSE(clipboardLease.isHeld());

    // Cancelling ends the wait and still restores.
    CancelSource cancel;
    editorCopiesAfter(250ms, u"never seen"_s);
    auto task = copyCapture.capture(QPointF(0, 0), cancel.token());
    clock.advance(50ms);
    cancel.cancel();
    ASSERT_TRUE(task.isReady());
    EXPECT_FALSE(runToEnd(std::move(task)));
    EXPECT_EQ(fake.clipboard.items, QList<ClipboardItem>{imageAndString()});
}

// Owners that stop answering cost the deadline once; the copy goes ahead without their content.
TEST_F(CopyCaptureTest, AHungOwnerCostsOnlyTheDeadlineAndKeepsItsClipboard) {
    static QStringList logged;
    logged.clear();
    QLoggingCategory::setFilterRules(u"ovra.capture.info=true"_s);
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& message) { logged << message; });
    fake.clipboard.scheduler = &clock;
    fake.clipboard.unreadableTypes = {u"image/png"_s};
    fake.clipboard.hangingTypes = {ClipboardTypes::plainText};
    editorCopiesAfter(100ms, u"copied words"_s);
    const qint64 changeCount = fake.clipboard.changeCount();
    const auto snapshot = runToEnd(copyCapture.capture(QPointF(0, 0)));
    qInstallMessageHandler(previous);
    QLoggingCategory::setFilterRules({});

    // What the owner still holds could not be put back: no copy takes its place.
    EXPECT_FALSE(snapshot);
    EXPECT_EQ(clock.now(), ClipboardServices::readDeadline);
    EXPECT_EQ(fake.clipboard.changeCount(), changeCount);
    EXPECT_EQ(fake.clipboard.items, QList<ClipboardItem>{imageAndString()});
    EXPECT_TRUE(fake.keys.copiesPosted.isEmpty());
    const QStringList reported = logged.filter(u"not backed up"_s);
    ASSERT_EQ(reported.size(), 1);
    EXPECT_TRUE(reported[0].contains(u"image/png") && reported[0].contains(u"text/plain"));
    EXPECT_FALSE(reported[0].contains(u"mine")); // names only, never the content

    // PRIMARY's owner hangs: the capture goes on to the copy after the deadline, no later.
    fake.clipboard.hangingTypes.clear();
    fake.clipboard.unreadableTypes.clear();
    fake.clipboard.primaryHangs = true;
    const auto startedAt = clock.now();
    EXPECT_EQ(textOf(runToEnd(copyCapture.capture(QPointF(0, 0)))), u"copied words"_s);
    EXPECT_EQ(clock.now() - startedAt, ClipboardServices::readDeadline + CopyCapture::firstWait);
    EXPECT_EQ(fake.clipboard.items, QList<ClipboardItem>{imageAndString()});
}

TEST_F(CopyCaptureTest, AnEmptyClipboardStaysEmptyAndAThinCopyGivesNothing) {
    fake.clipboard.items.clear();
    editorCopiesAfter(10ms, u" x\n"_s);
    EXPECT_FALSE(runToEnd(copyCapture.capture(QPointF(0, 0))));
    EXPECT_TRUE(fake.clipboard.items.isEmpty());
    EXPECT_EQ(fake.clipboard.writeCount, 0);
    EXPECT_EQ(fake.clipboard.clearCount, 2); // before the keystroke and at the restore
}

// X11 keeps the last selection in PRIMARY after it was clicked away: only a fresh one of the
// frontmost application, long enough to be a selection, counts, at once and without touching the
// clipboard; otherwise the copy is made.
TEST_F(CopyCaptureTest, PrimaryIsUsedOnlyWhenFreshAndTheFrontmostApplicationsOwn) {
    const auto field = editorTextWith(u"unused"_s);
    field->selectedRange = TextRange{2, 8};
    fake.accessibility.application(editorPid)->focused = field;
    editorCopiesAfter(10ms, u"copied"_s);
    const struct {
        const char* why;
        std::optional<std::chrono::milliseconds> age;
        PrimaryTrust trust;
        bool used;
        qint32 owner = editorPid;
        QString text = u"old word"_s;
    } cases[] = {
        {"taken just now", 1s, {}, true},
        {"taken after the last switch", 60s, {90s, false}, true},
        {"older than the last switch", 60s, {30s, false}, false},
        {"old, no switch seen", 6s, {}, false},
        {"taken before this program started", std::nullopt, {}, false},
        {"the focused element reports nothing selected", 1s, {std::nullopt, true}, false},
        {"an unknown owner", 1s, {}, false, 0},
        {"another application's", 1s, {}, false, 99},
        {"too thin", 1s, {}, false, editorPid, u" a "_s},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        fake.clipboard.primary = PrimarySelection{c.text, c.owner, c.age};
        fake.keys.copiesPosted.clear();
        const qint64 changeCount = fake.clipboard.changeCount();
        const Duration startedAt = clock.now();
        const auto snapshot = runToEnd(copyCapture.capture(QPointF(0, 0), {}, c.trust));
        ASSERT_TRUE(snapshot);
        EXPECT_EQ(snapshot->text, c.used ? c.text : u"copied"_s);
        EXPECT_EQ(snapshot->range, (TextRange{2, 8}));
        EXPECT_EQ(fake.keys.copiesPosted.isEmpty(), c.used);
        EXPECT_EQ(clock.now() == startedAt, c.used); // no wait at all
        EXPECT_EQ(fake.clipboard.changeCount() == changeCount, c.used);
    }
}
