#include "fakes/fake_accessibility.h"
#include "fakes/fake_screens.h"
#include "panel/quick_action_flow.h"
#include "support/errors.h"
#include "support/panel_environment.h"

using namespace ovra;
using namespace ovra::test;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;
using State = QuickActionFlow::State;

namespace {

enum class Engine { notAsked, succeeds, fails, cancelled };

struct Case {
    const char* name;
    QuickAction action;
    bool editable;
    Engine engine;
    std::optional<ReplaceOutcome> write; // the answer to the write, when one is made
    std::optional<ReplaceOutcome> undo;  // when set, "Desfazer" is pressed and this answers
    State state;                         // the card's state at the end
    const char* message;                 // its text then (empty once hidden)
    QStringList written;                 // every text handed to the write, in order
};

const auto s = [](const char* text) { return QString::fromUtf8(text); };

class QuickActionFlowTest : public ::testing::TestWithParam<Case> {};

TEST_P(QuickActionFlowTest, RunsWritesAndUndoes) {
    const Case& c = GetParam();
    PanelEnvironment env;
    FakeScreens screens;
    FakePanelWindow* card = nullptr;
    QuickActionFlow flow({env.engines, env.replacer, env.prefs, env.keys, env.clock, screens,
                          [&card](QuickActionFlow&) {
                              auto window = std::make_unique<FakePanelWindow>();
                              card = window.get();
                              return window;
                          }});
    env.prefs.setTargetLanguage(*TargetLanguage::named(u"en"_s));
    SelectionSnapshot snapshot = PanelEnvironment::snapshot(s("Bom dia, mundo"), c.editable);
    FakeAccessibility accessibility;
    snapshot.element = FakeAccessibility::elementFor(accessibility.application(snapshot.pid));

    flow.run(c.action, snapshot);
    ASSERT_NE(card, nullptr);
    EXPECT_TRUE(card->visible);
    if (c.engine == Engine::notAsked) {
        EXPECT_TRUE(env.engines->calls.isEmpty());
    } else {
        ASSERT_EQ(env.engines->calls.size(), 1);
        const auto call = env.engines->last();
        EXPECT_EQ(flow.state(), State::working);
        EXPECT_EQ(flow.message(), s("Trabalhando…"));
        EXPECT_EQ(call->operation, c.action == QuickAction::translateReplace  ? s("translate")
                                   : c.action == QuickAction::rephraseReplace ? s("reformulate")
                                                                              : s("review"));
        EXPECT_EQ(call->target, c.action == QuickAction::translateReplace ? s("en") : QString());
        if (c.engine == Engine::succeeds)
            call->succeed(s("Good morning, world"));
        else if (c.engine == Engine::fails)
            call->fail(Error(s("Falha do serviço")));
        else
            flow.cancel(); // Escape
        EXPECT_EQ(call->token.isCancelled(), c.engine == Engine::cancelled);
    }
    if (c.write && !env.replacer.calls.isEmpty()) {
        flow.cancel(); // too late: a write runs to its end
        env.replacer.calls.last()->outcome->resolve(*c.write);
    }
    if (c.undo) {
        ASSERT_TRUE(flow.canUndo());
        flow.undo();
        ASSERT_EQ(env.replacer.calls.size(), 2);
        // The range the result now fills, which must still hold the result.
        const SelectionSnapshot& undone = env.replacer.calls[1]->snapshot;
        EXPECT_EQ(undone.text, s("Good morning, world"));
        EXPECT_EQ(undone.range.location, snapshot.range.location);
        EXPECT_EQ(undone.range.length, 19);
        env.replacer.calls[1]->outcome->resolve(*c.undo);
    }

    EXPECT_EQ(flow.state(), c.state);
    EXPECT_EQ(flow.message(), s(c.message));
    QStringList written;
    for (const auto& call : env.replacer.calls)
        written.append(call->text);
    EXPECT_EQ(written, c.written);
    EXPECT_EQ(flow.canUndo(), c.state == State::replaced);
    // Every outcome stays cardDuration, then the card goes; a cancelled run's goes at once.
    EXPECT_EQ(card->visible, c.state != State::hidden);
    env.clock.advance(QuickActionFlow::cardDuration - 1ms);
    EXPECT_EQ(card->visible, c.state != State::hidden);
    env.clock.advance(1ms);
    EXPECT_FALSE(card->visible);
    EXPECT_EQ(flow.state(), State::hidden);
}

const QString original = u"Bom dia, mundo"_s;
const QString result = u"Good morning, world"_s;
const QStringList wroteResult{result};
const QStringList wroteAndUndid{result, original};
const QStringList nothingWritten;
const auto written = ReplaceOutcome::replacedViaAccessibility();
const auto pasted = ReplaceOutcome::replacedViaPaste();
const auto refused = ReplaceOutcome::failed();
constexpr auto translate = QuickAction::translateReplace;
constexpr auto rephrase = QuickAction::rephraseReplace;
constexpr auto review = QuickAction::reviewReplace;
constexpr auto noAnswer = std::nullopt;

INSTANTIATE_TEST_SUITE_P(
    Flows, QuickActionFlowTest,
    ::testing::Values(
        Case{"Replaces", translate, true, Engine::succeeds, written, noAnswer, State::replaced,
             "Substituído ✓", wroteResult},
        Case{"EngineFailureIsShownAndNothingWritten", rephrase, true, Engine::fails, noAnswer,
             noAnswer, State::failed, "Falha do serviço", nothingWritten},
        Case{"RefusedWriteShowsTheReplacerMessage", review, true, Engine::succeeds, refused,
             noAnswer, State::failed, "não consegui substituir aqui — use Copiar resultado",
             wroteResult},
        Case{"UndoWritesTheOriginalBack", translate, true, Engine::succeeds, pasted, written,
             State::undone, "Desfeito ✓", wroteAndUndid},
        Case{"UndoAfterTheTextChangedSaysSo", review, true, Engine::succeeds, written,
             ReplaceOutcome::selectionChanged(), State::failed,
             "O texto mudou depois da substituição; nada foi desfeito.", wroteAndUndid},
        Case{"EscapeCancelsTheEngineAndHidesTheCard", translate, true, Engine::cancelled, noAnswer,
             noAnswer, State::hidden, "Trabalhando…", nothingWritten},
        Case{"ANonEditableSelectionIsNotSent", rephrase, false, Engine::notAsked, noAnswer,
             noAnswer, State::failed, "Este texto não pode ser editado; nada foi substituído.",
             nothingWritten}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

} // namespace
