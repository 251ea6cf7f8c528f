#include "engines/reformulator.h"
#include "settings/l10n.h"
#include "support/panel_environment.h"

#include <gtest/gtest.h>
#include <stdexcept>

using namespace ovra;
using namespace ovra::test;
using namespace std::chrono_literals;
using Mode = PanelViewModel::Mode;

namespace {

struct PanelViewModelTest : ::testing::Test {
    PanelEnvironment env;
    std::unique_ptr<PanelViewModel> model = env.makeViewModel();
    int layoutNotifications = 0;
    int hideRequests = 0;

    void SetUp() override {
        model->onLayoutChange = [this] { ++layoutNotifications; };
        model->onRequestHide = [this] { ++hideRequests; };
    }
    std::shared_ptr<PendingCall> lastCall() const { return env.engines->last(); }
};

const QString fallbackNote = QStringLiteral("O motor online não respondeu; resolvido no aparelho.");

} // namespace

TEST_F(PanelViewModelTest, ActionsWithoutSelectionChangeNothing) {
    model->translate();
    model->reformulate();
    model->review();
    model->summarize();
    model->startAsk();
    model->sendChat(QStringLiteral("porquê?"));
    model->replace();
    EXPECT_EQ(model->mode(), Mode::none);
    EXPECT_FALSE(model->isWorking());
    EXPECT_TRUE(env.engines->calls.isEmpty());
    EXPECT_EQ(env.engines->chatsMade, 0);
}

TEST_F(PanelViewModelTest, FallbackResultShowsTheNoteAsNoError) {
    model->configure(PanelEnvironment::snapshot());
    model->translate();
    EXPECT_TRUE(model->isWorking());
    ASSERT_EQ(lastCall()->operation, QStringLiteral("translate"));
    EXPECT_EQ(lastCall()->text, QStringLiteral("Bom dia, mundo"));
    lastCall()->succeed(QStringLiteral("Good morning, world"), EngineKind::onDevice, true);

    EXPECT_FALSE(model->isWorking());
    EXPECT_EQ(model->resultText(), QStringLiteral("Good morning, world"));
    EXPECT_EQ(model->resultEngine(), EngineKind::onDevice);
    EXPECT_EQ(model->statusMessage(), fallbackNote);
    EXPECT_FALSE(model->statusIsError());

    // The next success without fallback clears the note when it starts.
    model->reformulate();
    EXPECT_FALSE(model->statusMessage());
    lastCall()->succeed(QStringLiteral("Bom dia ao mundo"), EngineKind::online);
    EXPECT_FALSE(model->statusMessage());
    EXPECT_EQ(model->resultEngine(), EngineKind::online);
}

TEST_F(PanelViewModelTest, FailedActionKeepsTheEarlierResult) {
    model->configure(PanelEnvironment::snapshot());
    model->translate();
    lastCall()->succeed(QStringLiteral("Good morning"));
    model->translate();
    lastCall()->fail(Error(QStringLiteral("Falha do Google")));
    EXPECT_EQ(model->resultText(), QStringLiteral("Good morning"));
    EXPECT_EQ(model->resultEngine(), EngineKind::google);
    EXPECT_EQ(model->statusMessage(), QStringLiteral("Falha do Google"));
    EXPECT_TRUE(model->statusIsError());
    EXPECT_FALSE(model->isWorking());
}

TEST_F(PanelViewModelTest, CancellationIsSilent) {
    model->configure(PanelEnvironment::snapshot());
    model->summarize();
    lastCall()->fail(CancelledError());
    EXPECT_FALSE(model->isWorking());
    EXPECT_FALSE(model->statusMessage());
    EXPECT_FALSE(model->resultText());
}

TEST_F(PanelViewModelTest, DeviceModelMessages) {
    model->configure(PanelEnvironment::snapshot());
    model->reformulate();
    lastCall()->fail(ReformulatorError::unavailable());
    EXPECT_EQ(model->statusMessage(), L10n::string(QStringLiteral("panel.aiUnavailableHint")));

    env.keys.writeKey(QStringLiteral("sk-test"), KeyStore::aiAccount(AIProvider::openai));
    model->reformulate();
    lastCall()->fail(ReformulatorError::unavailable());
    EXPECT_EQ(model->statusMessage(),
              QStringLiteral("IA no aparelho indisponível neste computador"));

    model->review();
    lastCall()->fail(ReformulatorError::underlying(QStringLiteral("O modelo caiu")));
    EXPECT_EQ(model->statusMessage(), QStringLiteral("O modelo caiu"));
    EXPECT_TRUE(model->statusIsError());

    model->review();
    lastCall()->fail(std::make_exception_ptr(std::runtime_error("boom")));
    EXPECT_TRUE(model->statusIsError());
    EXPECT_FALSE(model->statusMessage()->contains(QStringLiteral("boom")));
}

TEST_F(PanelViewModelTest, PickerTranslatesAgainOnlyInTranslateMode) {
    const TargetLanguage french = *TargetLanguage::named(u"fr");
    const TargetLanguage german = *TargetLanguage::named(u"de");
    env.prefs.setTargetLanguage(*TargetLanguage::named(u"it"));
    model->configure(PanelEnvironment::snapshot());
    EXPECT_EQ(model->targetLanguage().code, QStringLiteral("it")); // read afresh
    model->reformulate();
    lastCall()->succeed(QStringLiteral("Olá"));
    model->chooseTargetLanguage(french);
    EXPECT_EQ(env.engines->calls.size(), 1);
    EXPECT_EQ(env.prefs.targetLanguage(), french); // stored at once

    model->translate();
    EXPECT_EQ(lastCall()->target, QStringLiteral("fr"));
    lastCall()->succeed(QStringLiteral("Bonjour"));
    model->chooseTargetLanguage(german);
    ASSERT_EQ(env.engines->calls.size(), 3);
    EXPECT_EQ(lastCall()->target, QStringLiteral("de"));
    EXPECT_EQ(model->resultText(), QStringLiteral("Bonjour")); // until the new one arrives
    lastCall()->succeed(QStringLiteral("Guten Tag"));
    EXPECT_EQ(model->resultText(), QStringLiteral("Guten Tag"));
    EXPECT_EQ(env.prefs.targetLanguage(), german);
}

TEST_F(PanelViewModelTest, StaleOutcomeIsDropped) {
    model->configure(PanelEnvironment::snapshot(QStringLiteral("primeira seleção")));
    model->translate();
    const auto first = lastCall();
    EXPECT_TRUE(first->token.isCancelled() == false);

    model->configure(PanelEnvironment::snapshot(QStringLiteral("segunda seleção")));
    EXPECT_TRUE(first->token.isCancelled());
    first->succeed(QStringLiteral("first selection")); // arrives late anyway
    EXPECT_FALSE(model->resultText());
    EXPECT_FALSE(model->statusMessage());
    EXPECT_EQ(model->mode(), Mode::none);

    // The new selection's own work is not disturbed by the old one ending.
    model->summarize();
    lastCall()->succeed(QStringLiteral("resumo"));
    EXPECT_EQ(model->resultText(), QStringLiteral("resumo"));
}

TEST_F(PanelViewModelTest, ResetEndsAWaitingDeviceTranslationSilently) {
    env.engines->translateOnDevice = true;
    model->configure(PanelEnvironment::snapshot());
    model->translate();
    ASSERT_TRUE(env.engines->coordinator.hasPendingRequest());
    model->reset();
    EXPECT_FALSE(env.engines->coordinator.hasPendingRequest());
    EXPECT_FALSE(model->isWorking());
    EXPECT_FALSE(model->statusMessage());
    EXPECT_FALSE(model->snapshot());
    EXPECT_EQ(model->mode(), Mode::none);
}

TEST_F(PanelViewModelTest, ConcurrentActionsTheLastToFinishWins) {
    model->configure(PanelEnvironment::snapshot());
    model->translate();
    const auto translation = lastCall();
    model->summarize();
    const auto summary = lastCall();
    summary->succeed(QStringLiteral("resumo"));
    EXPECT_FALSE(model->isWorking()); // the first to finish clears it
    translation->succeed(QStringLiteral("tradução"));
    EXPECT_EQ(model->resultText(), QStringLiteral("tradução"));
    EXPECT_EQ(model->mode(), Mode::summarize);
}

TEST_F(PanelViewModelTest, CanReplaceResultDependsOnModeAndEditability) {
    model->configure(PanelEnvironment::snapshot());
    EXPECT_FALSE(model->canReplaceResult());
    for (auto [start, expected] :
         std::initializer_list<std::pair<void (PanelViewModel::*)(), bool>>{
             {&PanelViewModel::translate, true},
             {&PanelViewModel::reformulate, true},
             {&PanelViewModel::review, true},
             {&PanelViewModel::summarize, false},
             {&PanelViewModel::startAsk, false}}) {
        (model.get()->*start)();
        EXPECT_EQ(model->canReplaceResult(), expected) << int(model->mode());
    }
    model->configure(PanelEnvironment::snapshot(QStringLiteral("só leitura"), false));
    model->translate();
    EXPECT_FALSE(model->canReplaceResult());
}

TEST_F(PanelViewModelTest, TwoCopiesEndTheConfirmationAfterTheFirst) {
    model->configure(PanelEnvironment::snapshot());
    model->copy(QStringLiteral("um"));
    EXPECT_TRUE(model->copiedFeedback());
    env.clock.advance(500ms);
    model->copy(QStringLiteral("dois"));
    EXPECT_EQ(env.clipboard.string(), QStringLiteral("dois"));
    env.clock.advance(699ms);
    EXPECT_TRUE(model->copiedFeedback());
    env.clock.advance(1ms);
    EXPECT_FALSE(model->copiedFeedback());
}

TEST_F(PanelViewModelTest, LayoutNotificationFollowsEachChangeAfter40ms) {
    model->configure(PanelEnvironment::snapshot());
    model->translate();
    lastCall()->succeed(QStringLiteral("ok"));
    model->startAsk();
    env.clock.advance(39ms);
    EXPECT_EQ(layoutNotifications, 0);
    env.clock.advance(1ms);
    EXPECT_EQ(layoutNotifications, 2); // not merged
}

TEST_F(PanelViewModelTest, ChatKeepsItsHistoryAcrossModes) {
    model->configure(PanelEnvironment::snapshot());
    model->sendChat(QStringLiteral("   \n "));
    EXPECT_EQ(env.engines->chatsMade, 0);

    model->sendChat(QStringLiteral("  O que significa?  "));
    EXPECT_EQ(model->mode(), Mode::ask);
    EXPECT_TRUE(model->isWorking());
    ASSERT_EQ(lastCall()->text, QStringLiteral("O que significa?"));
    const auto question = lastCall();

    model->sendChat(QStringLiteral("outra")); // one question at a time
    EXPECT_EQ(env.engines->calls.size(), 1);

    // The answer shows as it is written, in one message that grows.
    question->progress(QStringLiteral("Uma"));
    question->progress(QStringLiteral("Uma sauda"));
    ASSERT_EQ(model->chatMessages().size(), 2);
    EXPECT_EQ(model->chatMessages()[1].text, QStringLiteral("Uma sauda"));
    question->answer->resolve(QStringLiteral("Uma saudação."));
    ASSERT_EQ(model->chatMessages().size(), 2);
    EXPECT_TRUE(model->chatMessages()[0].isUser);
    EXPECT_EQ(model->chatMessages()[1].text, QStringLiteral("Uma saudação."));
    EXPECT_FALSE(model->chatMessages()[1].isUser);

    model->translate();
    lastCall()->succeed(QStringLiteral("Hello"));
    model->startAsk();
    EXPECT_EQ(model->chatMessages().size(), 2);
    EXPECT_EQ(env.engines->chatsMade, 1);

    model->sendChat(QStringLiteral("E depois?"));
    lastCall()->fail(Error(QStringLiteral("Sem rede")));
    EXPECT_EQ(model->chatMessages().size(), 3); // the question stays without an answer
    EXPECT_EQ(model->statusMessage(), QStringLiteral("Sem rede"));
    EXPECT_TRUE(model->statusIsError());

    // Broken after a piece: the piece stays, marked incomplete.
    model->sendChat(QStringLiteral("E então?"));
    lastCall()->progress(QStringLiteral("Então"));
    lastCall()->fail(Error(QStringLiteral("Sem rede")));
    ASSERT_EQ(model->chatMessages().size(), 5);
    EXPECT_EQ(model->chatMessages()[4].text, QStringLiteral("Então"));
    EXPECT_EQ(model->statusMessage(), QStringLiteral("Resposta incompleta."));
}

TEST_F(PanelViewModelTest, SuccessfulReplacementHidesAfter900ms) {
    model->configure(PanelEnvironment::snapshot());
    model->replace(); // nothing to write yet
    EXPECT_TRUE(env.replacer.calls.isEmpty());

    model->review();
    lastCall()->succeed(QStringLiteral("Bom dia, mundo!"));
    model->replace();
    model->replace(); // a double click: one write-back
    ASSERT_EQ(env.replacer.calls.size(), 1);
    EXPECT_EQ(env.replacer.calls[0]->text, QStringLiteral("Bom dia, mundo!"));
    EXPECT_EQ(env.replacer.calls[0]->snapshot.pid, 4242);
    EXPECT_TRUE(model->isWorking());
    EXPECT_TRUE(model->isReplacing());
    env.replacer.calls[0]->outcome->resolve(ReplaceOutcome::replacedViaPaste());
    EXPECT_EQ(model->statusMessage(), QStringLiteral("Substituído ✓"));
    EXPECT_FALSE(model->statusIsError());
    env.clock.advance(899ms);
    EXPECT_EQ(hideRequests, 0);
    env.clock.advance(1ms);
    EXPECT_EQ(hideRequests, 1);
}

TEST_F(PanelViewModelTest, FailedReplacementShowsTheReplacerMessage) {
    model->configure(PanelEnvironment::snapshot());
    model->translate();
    lastCall()->succeed(QStringLiteral("Hi"));
    model->replace();
    env.replacer.calls[0]->outcome->resolve(ReplaceOutcome::failed());
    EXPECT_EQ(model->statusMessage(),
              QStringLiteral("não consegui substituir aqui — use Copiar resultado"));
    EXPECT_TRUE(model->statusIsError());
    model->replace(); // may be tried again once the first has answered
    EXPECT_EQ(env.replacer.calls.size(), 2);
    // A write-back that throws has failed, and one cancelled says nothing: either way the button
    // comes back.
    env.replacer.calls[1]->outcome->fail(std::make_exception_ptr(std::runtime_error("lost")));
    EXPECT_EQ(model->statusMessage(), Replacer::failureMessage);
    model->replace();
    env.replacer.calls[2]->outcome->fail(std::make_exception_ptr(CancelledError()));
    EXPECT_FALSE(model->statusMessage());
    EXPECT_FALSE(model->isReplacing());
    EXPECT_FALSE(model->isWorking());
    env.clock.advance(2s);
    EXPECT_EQ(hideRequests, 0);
    EXPECT_EQ(model->mode(), Mode::translate);
}

TEST_F(PanelViewModelTest, ReplacementOfAnEarlierSelectionNeitherReportsNorHides) {
    model->configure(PanelEnvironment::snapshot());
    model->translate();
    lastCall()->succeed(QStringLiteral("Hi"));
    model->replace();
    env.replacer.calls[0]->outcome->resolve(ReplaceOutcome::replacedViaAccessibility());
    model->configure(PanelEnvironment::snapshot(QStringLiteral("nova seleção")));
    env.clock.advance(1s);
    EXPECT_EQ(hideRequests, 0);
}

TEST_F(PanelViewModelTest, DestroyingTheModelWhileWorkRunsIsSafe) {
    model->configure(PanelEnvironment::snapshot());
    model->translate();
    const auto call = lastCall();
    model->copy(QStringLiteral("x"));
    model.reset();
    EXPECT_TRUE(call->token.isCancelled());
    env.clock.advance(2s); // delayed work finds no model and does nothing
    EXPECT_EQ(layoutNotifications, 0);
}

TEST_F(PanelViewModelTest, ASelectionTooLongIsNotSentAndThePanelSaysSo) {
    SelectionSnapshot longSelection = PanelEnvironment::snapshot();
    longSelection.text = QString(PanelViewModel::maxSelectionLength + 1, u'a');
    model->configure(longSelection);
    for (const auto& action :
         {&PanelViewModel::translate, &PanelViewModel::reformulate, &PanelViewModel::review,
          &PanelViewModel::summarize, &PanelViewModel::startAsk}) {
        (model.get()->*action)();
        EXPECT_EQ(
            model->statusMessage(),
            QStringLiteral("A seleção é longa demais para esta ação (máx. 100.000 caracteres)."));
        EXPECT_TRUE(model->statusIsError());
    }
    model->sendChat(QStringLiteral("e então?"));
    EXPECT_TRUE(env.engines->calls.isEmpty());
    EXPECT_EQ(env.engines->chatsMade, 0);
    EXPECT_FALSE(model->isWorking());

    // Exactly the limit is still sent.
    longSelection.text.chop(1);
    model->configure(longSelection);
    model->translate();
    EXPECT_EQ(env.engines->calls.size(), 1);
}

// An answer written as it goes shows at once and grows; it is copied or written back only when
// whole, and a break after part of it keeps that part, marked, and never writes it back.
TEST_F(PanelViewModelTest, AnAnswerShowsAsItIsWritten) {
    const struct {
        const char* ending; // "succeed", "fail", "cancel" (a new selection), "hide"
    } cases[] = {{"succeed"}, {"fail"}, {"cancel"}, {"hide"}};
    for (const auto& [ending] : cases) {
        SCOPED_TRACE(ending);
        model->configure(PanelEnvironment::snapshot());
        model->reformulate();
        const auto call = lastCall();
        call->progress(QStringLiteral("Bom"));
        call->progress(QStringLiteral("Bom dia"));
        EXPECT_EQ(model->resultText(), QStringLiteral("Bom dia"));
        EXPECT_EQ(model->resultEngine(), EngineKind::online);
        EXPECT_TRUE(model->isWorking());
        EXPECT_TRUE(model->resultIsArriving());
        model->replace();
        EXPECT_TRUE(env.replacer.calls.isEmpty());

        const QString ended = QString::fromLatin1(ending);
        if (ended == u"succeed") {
            call->succeed(QStringLiteral("Bom dia a todos"), EngineKind::online);
            EXPECT_EQ(model->resultText(), QStringLiteral("Bom dia a todos"));
            EXPECT_FALSE(model->resultIsIncomplete());
            EXPECT_TRUE(model->canReplaceResult());
            EXPECT_FALSE(model->statusMessage());
            model->replace();
            ASSERT_EQ(env.replacer.calls.size(), 1);
            EXPECT_EQ(env.replacer.calls.last()->text, QStringLiteral("Bom dia a todos"));
            env.replacer.calls.last()->outcome->resolve(ReplaceOutcome::replacedViaAccessibility());
            env.replacer.calls.clear();
        } else if (ended == u"fail") {
            call->fail(HttpTransportError(HttpTransportError::Kind::noConnection));
            EXPECT_EQ(model->resultText(), QStringLiteral("Bom dia"));
            EXPECT_TRUE(model->resultIsIncomplete());
            EXPECT_FALSE(model->canReplaceResult());
            EXPECT_EQ(model->statusMessage(), QStringLiteral("Resposta incompleta."));
            model->replace();
            EXPECT_TRUE(env.replacer.calls.isEmpty());
        } else {
            if (ended == u"cancel")
                model->configure(PanelEnvironment::snapshot(QStringLiteral("Outro")));
            else
                model->reset();
            EXPECT_TRUE(call->token.isCancelled());
            call->progress(QStringLiteral("Bom dia atrasado"));
            EXPECT_FALSE(model->resultText());
            EXPECT_FALSE(model->statusMessage());
        }
        EXPECT_FALSE(model->isWorking());
        EXPECT_FALSE(model->resultIsArriving());
    }
}

TEST(PanelViewModelText, ResultsLongerThanTheLimitAreShownCutWithAnEllipsis) {
    const QString atLimit(PanelViewModel::maxShownLength, u'x');
    EXPECT_EQ(PanelViewModel::shownText(atLimit), atLimit);
    const QString shown = PanelViewModel::shownText(atLimit + u"yz");
    EXPECT_EQ(shown.size(), PanelViewModel::maxShownLength + 1);
    EXPECT_TRUE(shown.endsWith(u'…'));
    EXPECT_TRUE(shown.startsWith(atLimit.left(100)));
    // A character outside the basic plane is never split in half.
    const QString emoji = QString(PanelViewModel::maxShownLength - 1, u'x') + QStringLiteral("😀z");
    EXPECT_EQ(PanelViewModel::shownText(emoji),
              QString(PanelViewModel::maxShownLength - 1, u'x') + u'…');
}
