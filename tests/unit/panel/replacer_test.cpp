#include "fakes/fake_capture_platform.h"
#include "fakes/inline_accessibility_thread.h"
#include "panel/replacer.h"
#include "support/virtual_clock.h"

#include <gtest/gtest.h>

using namespace ovra;
using namespace ovra::test;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

constexpr qint32 sourcePid = 314;
// The user's clipboard before a replacement.
const ClipboardItem imageAndText{{{u"image/png"_s, QByteArrayLiteral("\x89PNG")},
                                  {ClipboardTypes::plainText, QByteArrayLiteral("antes")}}};

struct ReplacerTest : ::testing::Test {
    FakeCapturePlatform fake;
    VirtualClock clock;
    InlineAccessibilityThread thread{fake.accessibility, clock};
    AccessibilityCapture accessibility{thread, fake.workspace, clock};
    ClipboardLease lease{clock};
    ReplacementPlatform platform{accessibility, fake.clipboard, fake.workspace,
                                 fake.keys,     clock,          lease};
    std::shared_ptr<FakeNode> field;

    void SetUp() override {
        field = fake.accessibility.application(sourcePid)->addChild(u"field"_s);
        field->selectedTextSettable = true;
        field->selectedRange = TextRange{0, 0};
        field->value = u"Hello teh cat sat"_s;
        fake.accessibility.application(sourcePid)->focused = field; // where a paste lands
        fake.clipboard.scheduler = &clock;
        fake.clipboard.items = {imageAndText};
        fake.workspace.frontmost = fake.workspace.launch({sourcePid, u"org.ex"_s, {}});
    }

    SelectionSnapshot snapshot(bool withElement = true) {
        SelectionSnapshot s;
        s.text = u"teh cat"_s;
        if (withElement)
            s.element = FakeAccessibility::elementFor(field);
        s.range = {6, 7};
        s.pid = sourcePid;
        return s;
    }

    // Runs the replacement to its end on the virtual clock.
    std::optional<ReplaceOutcome> run(SelectionSnapshot s, QString text) {
        std::optional<ReplaceOutcome> result;
        [](auto& out, auto task) -> QCoro::Task<void> {
            out = co_await std::move(task);
        }(result, Replacer::replace(platform, std::move(s), std::move(text)));
        clock.runDue(); // the accessibility thread's answers
        return result;
    }
};

} // namespace

// A write that could not be checked against the text before it is not made; the paste is.
TEST_F(ReplacerTest, AnUnreadableTextIsNotWrittenButPasted) {
    field->value.reset();
    std::optional<ReplaceOutcome> outcome = run(snapshot(), u"x y"_s);
    EXPECT_EQ(outcome, ReplaceOutcome::replacedViaPaste());
    EXPECT_TRUE(field->writtenTexts.isEmpty());
}

TEST_F(ReplacerTest, ACanonicallyEquivalentCaptureIsNotAChange) {
    // Captured decomposed, stored composed.
    field->value = u"Hello caf\u00e9 sat"_s;
    SelectionSnapshot s = snapshot();
    s.text = u"cafe\u0301"_s;
    s.range = {6, 4};
    EXPECT_EQ(run(s, u"bar"_s), ReplaceOutcome::replacedViaAccessibility());
    EXPECT_EQ(field->value, u"Hello bar sat"_s);
}

// Typed over while the panel was up: the range holds the user's new text, which stays.
TEST_F(ReplacerTest, ASelectionTypedOverIsNotWritten) {
    field->value = u"Hello tyxed cat sat"_s;
    const auto outcome = run(snapshot(), u"the cat"_s);
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->kind, ReplaceOutcome::Kind::selectionChanged);
    EXPECT_FALSE(outcome->succeeded());
    EXPECT_FALSE(outcome->message.isEmpty());
    EXPECT_EQ(field->value, u"Hello tyxed cat sat"_s);
    EXPECT_TRUE(fake.keys.pastesPosted.isEmpty());
}

// A write accepted and shown needs no paste and leaves the clipboard alone. Writes and pastes
// checked over the whole text, or in one too long for that around the range
// and by its canonical length. A write that did not land as written, whatever the application
// answered, has failed with nothing pasted: the text is put back where only the written range
// changed (a delete that missed and kept the old text), and left where more changed (text lost
// far from the range, another program's edit meanwhile), where the undo is refused or the text
// is unreadable. A paste (after a write refused cleanly) succeeds only once the text shows it, in
// time; one that landed otherwise is left as it is, as no keystroke can undo it safely.
TEST_F(ReplacerTest, AWriteOrPasteThatDidNotLandFailsAndAWriteIsUndoneOnlyInItsRange) {
    using Kind = ReplaceOutcome::Kind;
    struct Case {
        const char* name;
        Kind outcome = Kind::failed;
        bool readsAsBefore = false; // put back, or never changed
        bool keepsOldText = false;
        qsizetype cutsTheEnd = 0;
        bool reportsFailure = false;
        bool longText = false;
        bool undoRefused = false;
        void (*meanwhile)(FakeNode&) = nullptr;
        QString newText = u"the cat"_s;
        bool pastes = false; // the write is refused cleanly, and a paste follows
        std::optional<Duration> pasteLandsAfter = Duration::zero();
    };
    const auto decomposes = [](FakeNode& n) {
        n.value = n.value->normalized(QString::NormalizationForm_D);
    };
    const Case cases[] = {
        {.name = "written", .outcome = Kind::replacedViaAccessibility},
        {.name = "old text kept", .readsAsBefore = true, .keepsOldText = true},
        {.name = "old text kept, refused",
         .readsAsBefore = true,
         .keepsOldText = true,
         .reportsFailure = true},
        {.name = "end cut", .cutsTheEnd = 9},
        {.name = "end cut, refused", .cutsTheEnd = 9, .reportsFailure = true},
        {.name = "end of a long text cut", .cutsTheEnd = 9, .longText = true},
        {.name = "long text written", .outcome = Kind::replacedViaAccessibility, .longText = true},
        {.name = "long text stored decomposed",
         .outcome = Kind::replacedViaAccessibility,
         .longText = true,
         .meanwhile = decomposes,
         .newText = u"caf\u00e9"_s},
        {.name = "old text kept for good", .keepsOldText = true, .undoRefused = true},
        {.name = "edited elsewhere meanwhile",
         .keepsOldText = true,
         .meanwhile = [](FakeNode& n) { n.value->prepend(u'>'); }},
        {.name = "unreadable after", .meanwhile = [](FakeNode& n) { n.value.reset(); }},
        {.name = "unreadable after a refusal",
         .reportsFailure = true,
         .meanwhile = [](FakeNode& n) { n.value.reset(); }},
        {.name = "pasted", .outcome = Kind::replacedViaPaste, .pastes = true},
        {.name = "pasted into a long text, stored decomposed",
         .outcome = Kind::replacedViaPaste,
         .longText = true,
         .meanwhile = decomposes,
         .newText = u"caf\u00e9"_s,
         .pastes = true},
        {.name = "paste shown just in time",
         .outcome = Kind::replacedViaPaste,
         .pastes = true,
         .pasteLandsAfter = Replacer::pasteLandDeadline},
        {.name = "paste shown too late",
         .readsAsBefore = true,
         .pastes = true,
         .pasteLandsAfter = Replacer::pasteLandDeadline + Replacer::pasteLandPollInterval},
        {.name = "paste never shown", .readsAsBefore = true, .pastes = true, .pasteLandsAfter = {}},
        {.name = "paste beside the old text", .keepsOldText = true, .pastes = true},
        {.name = "paste cut the end of a long text",
         .cutsTheEnd = 9,
         .longText = true,
         .pastes = true},
        {.name = "unreadable after a paste",
         .meanwhile = [](FakeNode& n) { n.value.reset(); },
         .pastes = true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        while (clock.runNext()) {
        } // a late paste of the case before lands now
        const QString original = u"Hello teh cat sat on the mat, all day long."_s +
                                 (c.longText ? QString(100'000, u'.') : QString());
        field->value = original;
        field->writtenTexts.clear();
        field->insertFails = c.pastes;
        field->nextWriteKeepsOldText = c.keepsOldText;
        field->nextWriteCutsTheEnd = c.cutsTheEnd;
        field->nextWriteReportsFailure = c.reportsFailure;
        field->writesLeft = c.undoRefused ? 1 : -1;
        field->afterNextWrite = c.meanwhile;
        fake.clipboard.pasteLandsAfter = c.pasteLandsAfter;
        fake.keys.pastesPosted.clear();
        fake.clipboard.items = {imageAndText};
        const qint64 clipboardChanges = fake.clipboard.changeCount();

        std::optional<ReplaceOutcome> outcome = run(snapshot(), c.newText);
        clock.advance(Replacer::pasteLandDeadline);
        ASSERT_TRUE(outcome);
        EXPECT_EQ(outcome->kind, c.outcome);
        EXPECT_EQ(fake.keys.pastesPosted.size(), c.pastes ? 1 : 0);
        EXPECT_EQ(fake.clipboard.items, QList<ClipboardItem>{imageAndText});
        if (!c.pastes) {
            EXPECT_EQ(fake.clipboard.changeCount(), clipboardChanges);
        }
        // Put back by one more write of the range only, or left as the failed write made it.
        EXPECT_EQ(field->writtenTexts.size(), c.pastes ? 0 : c.readsAsBefore ? 2 : 1);
        if (outcome->succeeded()) {
            const QString written = QString(original).replace(6, 7, c.newText);
            EXPECT_EQ(field->value->normalized(QString::NormalizationForm_C), written);
            continue;
        }
        if (c.pastes) {
            EXPECT_EQ(*outcome, ReplaceOutcome::pasteUnconfirmed());
        }
        EXPECT_EQ(field->value == original, c.readsAsBefore);
    }
}

// A slow target reads the pasted text a second late: the user's clipboard comes back only then.
// One that never reads gets it back after pasteReadDeadline, and the paste is no success.
TEST_F(ReplacerTest, TheClipboardComesBackOnceTheTargetHasReadThePastedText) {
    field->insertFails = true;
    fake.clipboard.pasteReadAfter = 1s;
    const QString text = u"linha 1\nlinha 2 🙂"_s;
    std::optional<ReplaceOutcome> outcome = run(snapshot(), text);

    EXPECT_FALSE(outcome); // waiting for the paste to land
    EXPECT_EQ(fake.keys.pastesPosted, QList<qint32>{sourcePid});
    ASSERT_EQ(fake.clipboard.items.size(), 1);
    // Marked so that clipboard managers leave it out of their history.
    EXPECT_EQ(fake.clipboard.data(0, ClipboardTypes::passwordManagerHint),
              ClipboardTypes::secretHintValue);
    clock.advance(999ms);
    EXPECT_FALSE(outcome);
    EXPECT_EQ(fake.clipboard.string(), text); // still there for the late reader
    clock.advance(1ms);
    EXPECT_EQ(outcome, ReplaceOutcome::replacedViaPaste());
    EXPECT_EQ(fake.clipboard.items, QList<ClipboardItem>{imageAndText});

    EXPECT_EQ(field->value, u"Hello linha 1\nlinha 2 🙂 sat"_s);

    field->value = u"Hello teh cat sat"_s;
    fake.clipboard.pasteReadAfter.reset();
    std::optional<ReplaceOutcome> unread = run(snapshot(), text);
    clock.advance(Replacer::pasteReadDeadline - 1ms);
    EXPECT_FALSE(unread);
    EXPECT_EQ(fake.clipboard.string(), text);
    clock.advance(1ms);
    EXPECT_EQ(unread, ReplaceOutcome::failed());
    EXPECT_EQ(fake.clipboard.items, QList<ClipboardItem>{imageAndText});
}

// A paste replaces whatever is selected: where the range cannot be selected again, or another
// one is selected instead, nothing is pasted and the clipboard is left alone. Where the selection
// cannot be read back, the application's word that it selected the range is taken.
TEST_F(ReplacerTest, APasteGoesOnlyOverTheRangeSelectedAgain) {
    field->insertFails = true;
    field->rangeSelectionRefused = true;
    for (const std::optional<TextRange> selectedNow :
         {std::optional(TextRange{0, 5}), std::optional<TextRange>()}) {
        field->selectedRange = selectedNow;
        fake.clipboard.items = {imageAndText};
        EXPECT_EQ(run(snapshot(), QStringLiteral("novo")), ReplaceOutcome::failed());
        EXPECT_TRUE(fake.keys.pastesPosted.isEmpty());
        EXPECT_EQ(fake.clipboard.items, QList<ClipboardItem>{imageAndText});
        EXPECT_EQ(field->value, QStringLiteral("Hello teh cat sat"));
    }
    field->rangeSelectionRefused = false;
    field->selectedRange.reset();
    EXPECT_EQ(run(snapshot(), QStringLiteral("novo")), ReplaceOutcome::replacedViaPaste());
    EXPECT_EQ(field->value, QStringLiteral("Hello novo sat"));
}

// A copy capture borrowing the clipboard: the paste waits for it to give the clipboard back, and
// gives up when it does not in time.
TEST_F(ReplacerTest, APasteWaitsForTheClipboardLease) {
    field->insertFails = true;
    std::optional<ClipboardLease::Hold> capture = lease.tryTake();
    std::optional<ReplaceOutcome> outcome = run(snapshot(), u"novo"_s);
    clock.advance(Replacer::clipboardLeaseWait / 2);
    EXPECT_FALSE(outcome);
    EXPECT_EQ(fake.clipboard.clearCount, 0);
    capture.reset();
    clock.runDue();
    EXPECT_EQ(outcome, ReplaceOutcome::replacedViaPaste());
    EXPECT_FALSE(lease.isHeld());

    // Typed over while the paste waited: nothing is pasted over the user's text.
    field->value = u"Hello teh cat sat"_s;
    capture = lease.tryTake();
    std::optional<ReplaceOutcome> typedOver = run(snapshot(), u"novo"_s);
    field->value = u"Hello tyxed cat sat"_s;
    capture.reset();
    clock.runDue();
    EXPECT_EQ(typedOver, ReplaceOutcome::selectionChanged());
    EXPECT_EQ(fake.keys.pastesPosted.size(), 1);
    EXPECT_EQ(fake.clipboard.items, QList<ClipboardItem>{imageAndText});

    field->value = u"Hello teh cat sat"_s;
    capture = lease.tryTake();
    std::optional<ReplaceOutcome> late = run(snapshot(), u"novo"_s);
    clock.advance(Replacer::clipboardLeaseWait);
    EXPECT_EQ(late, ReplaceOutcome::failed());
    EXPECT_EQ(fake.keys.pastesPosted.size(), 1);
    EXPECT_EQ(fake.clipboard.items, QList<ClipboardItem>{imageAndText});
}

TEST_F(ReplacerTest, ATargetTakingNoPasteKeystrokeFailsAtOnceWithTheClipboardBack) {
    field->selectedTextSettable = false;
    fake.keys.takesKeys = false;
    EXPECT_EQ(run(snapshot(), u"novo"_s), ReplaceOutcome::failed());
    EXPECT_EQ(fake.clipboard.items, QList<ClipboardItem>{imageAndText});

    // An owner that does not answer in time keeps its clipboard: nothing could bring it back.
    fake.clipboard.hangingTypes = {ClipboardTypes::plainText};
    fake.keys.takesKeys = true;
    const qint64 beforeHung = fake.clipboard.changeCount();
    std::optional<ReplaceOutcome> hung = run(snapshot(), u"novo"_s);
    clock.advance(ClipboardServices::readDeadline);
    EXPECT_EQ(hung, ReplaceOutcome::failed());
    EXPECT_EQ(fake.clipboard.changeCount(), beforeHung);
    EXPECT_TRUE(fake.keys.pastesPosted.isEmpty());
    fake.clipboard.hangingTypes.clear();

    // Where no keystroke reaches any application, the clipboard is not even taken.
    fake.keys.reachesApplications = false;
    const qint64 changeCount = fake.clipboard.changeCount();
    EXPECT_EQ(run(snapshot(), u"novo"_s), ReplaceOutcome::failed());
    EXPECT_EQ(fake.clipboard.changeCount(), changeCount);
}

// Without an element the paste cannot be read back: it is trusted once the source read it.
TEST_F(ReplacerTest, WithoutElementThePasteReselectsNothingAndAnEmptyClipboardStaysEmpty) {
    fake.clipboard.items.clear();
    std::optional<ReplaceOutcome> outcome = run(snapshot(false), u"novo"_s);
    clock.advance(300ms);
    EXPECT_EQ(outcome, ReplaceOutcome::replacedViaPaste());
    EXPECT_EQ(field->value, u"novoHello teh cat sat"_s); // at the caret
    EXPECT_TRUE(field->writtenTexts.isEmpty());
    EXPECT_TRUE(fake.clipboard.items.isEmpty());
}

// The question field gave the panel the keyboard: the source window gets it back, then the paste.
TEST_F(ReplacerTest, TheSourceWindowGetsTheKeyboardBackBeforeThePaste) {
    field->insertFails = true;
    fake.workspace.frontmost = fake.workspace.launch({7, u"io.ovra.Ovra"_s, {}});
    fake.workspace.activatesOnRequest = false;
    std::optional<ReplaceOutcome> outcome = run(snapshot(), u"the cat"_s);
    EXPECT_EQ(fake.workspace.activationRequests, QList<qint32>{sourcePid});
    EXPECT_EQ(field->value,
              u"Hello teh cat sat"_s); // the failed write changed nothing

    clock.advance(Replacer::activationPollInterval * 5);
    EXPECT_TRUE(fake.keys.pastesPosted.isEmpty()); // never into the panel
    fake.workspace.frontmost = fake.workspace.runningApplication(sourcePid);
    clock.advance(Replacer::activationPollInterval);
    EXPECT_EQ(fake.keys.pastesPosted, QList<qint32>{sourcePid});
    EXPECT_EQ(outcome, ReplaceOutcome::replacedViaPaste());
}

// Another window of the source application came to the front (Alt+Tab): the paste goes into the
// window the text was captured in, or nowhere.
TEST_F(ReplacerTest, ThePasteGoesOnlyIntoTheCapturedWindow) {
    field->insertFails = true;
    SelectionSnapshot captured = snapshot();
    captured.window = 0xA;
    fake.workspace.window = 0xB;
    fake.workspace.activatesOnRequest = false;
    std::optional<ReplaceOutcome> outcome = run(captured, u"novo"_s);
    clock.advance(Replacer::activationTimeout);
    EXPECT_EQ(outcome, ReplaceOutcome::failed());
    EXPECT_TRUE(fake.keys.pastesPosted.isEmpty());
    EXPECT_EQ(fake.clipboard.clearCount, 0);

    fake.workspace.activatesOnRequest = true;
    std::optional<ReplaceOutcome> pasted = run(captured, u"novo"_s);
    clock.advance(Replacer::activationPollInterval);
    EXPECT_EQ(pasted, ReplaceOutcome::replacedViaPaste());
    EXPECT_EQ(fake.workspace.window, std::optional<WindowId>(0xA));
    EXPECT_EQ(fake.keys.pastesPosted, QList<qint32>{sourcePid});
}

TEST_F(ReplacerTest, ASourceThatDoesNotComeBackFailsWithoutTouchingTheClipboard) {
    field->selectedTextSettable = false;
    fake.workspace.frontmost = fake.workspace.launch({999, u"org.other"_s, {}});
    fake.workspace.activatesOnRequest = false;
    std::optional<ReplaceOutcome> outcome = run(snapshot(), u"novo"_s);
    clock.advance(Replacer::activationTimeout - Replacer::activationPollInterval);
    EXPECT_FALSE(outcome);
    clock.advance(Replacer::activationPollInterval);
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->kind, ReplaceOutcome::Kind::failed);
    EXPECT_EQ(outcome->message, u"não consegui substituir aqui — use Copiar resultado"_s);
    EXPECT_EQ(fake.clipboard.clearCount, 0);
    EXPECT_TRUE(fake.keys.pastesPosted.isEmpty());

    fake.workspace.frontmost.reset();
    std::optional<ReplaceOutcome> again = run(snapshot(), u"novo"_s);
    clock.advance(Replacer::activationTimeout);
    EXPECT_EQ(again, ReplaceOutcome::failed());
    EXPECT_TRUE(fake.keys.pastesPosted.isEmpty());
}
