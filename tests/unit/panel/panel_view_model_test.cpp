#include "engines/reformulator.h"
#include "settings/l10n.h"
#include "support/panel_environment.h"

#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace ovra;
using namespace ovra::test;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;
using Mode = PanelViewModel::Mode;

namespace {

// A panel opened on the usual selection ("Bom dia, mundo", editable).
struct PanelViewModelTest : ::testing::Test {
    PanelEnvironment env;
    std::unique_ptr<PanelViewModel> model = env.makeViewModel();
    int layoutNotifications = 0;
    int hideRequests = 0;

    void SetUp() override {
        QObject::connect(model.get(), &PanelViewModel::layoutChanged,
                         [this] { ++layoutNotifications; });
        QObject::connect(model.get(), &PanelViewModel::hideRequested, [this] { ++hideRequests; });
        model->configure(PanelEnvironment::snapshot());
    }
    std::shared_ptr<PendingCall> lastCall() const { return env.engines->last(); }
    // Translates and answers with `result`.
    void translated(const QString& result) {
        model->translate();
        lastCall()->succeed(result);
    }
};

} // namespace

// Reset ends a device translation waiting for a session, silently. Without a selection no action
// changes anything; with one too long none is sent, and each says so. Exactly the limit is sent.
TEST_F(PanelViewModelTest, ActionsWithoutASelectionOrWithOneTooLongSendNothing) {
    const auto actions = {&PanelViewModel::translate, &PanelViewModel::reformulate,
                          &PanelViewModel::review, &PanelViewModel::summarize,
                          &PanelViewModel::startAsk};
    env.engines->translateOnDevice = true;
    model->translate();
    ASSERT_TRUE(env.engines->coordinator.hasPendingRequest());
    model->reset();
    EXPECT_FALSE(env.engines->coordinator.hasPendingRequest());
    env.engines->translateOnDevice = false;
    for (const auto& action : actions)
        (model.get()->*action)();
    model->sendChat(u"porquê?"_s);
    model->replace();
    EXPECT_EQ(model->mode(), Mode::none);
    EXPECT_FALSE(model->isWorking());

    SelectionSnapshot longSelection = PanelEnvironment::snapshot();
    longSelection.text = QString(PanelViewModel::maxSelectionLength + 1, u'a');
    model->configure(longSelection);
    for (const auto& action : actions) {
        (model.get()->*action)();
        EXPECT_EQ(model->statusMessage(),
                  u"A seleção é longa demais para esta ação (máx. 100.000 caracteres)."_s);
        EXPECT_TRUE(model->statusIsError());
    }
    model->sendChat(u"e então?"_s);
    EXPECT_TRUE(env.engines->calls.isEmpty());
    EXPECT_EQ(env.engines->chatsMade, 0);
    EXPECT_FALSE(model->isWorking());

    longSelection.text.chop(1);
    model->configure(longSelection);
    model->translate();
    EXPECT_EQ(env.engines->calls.size(), 1);
}

// After an earlier result, each way the next action ends: the result kept or replaced, the status
// line and its colour; the action after it starts with the status cleared.
TEST_F(PanelViewModelTest, EachEndingShowsItsResultAndStatus) {
    const auto failed = [](auto error) { return std::make_exception_ptr(std::move(error)); };
    const auto unavailable = failed(ReformulatorError::unavailable());
    const struct Case {
        const char* name;
        std::exception_ptr failure;    // none: the device answers for the online engine
        std::optional<QString> status; // nullopt: none; empty: any but without "boom"
        bool isError;
        bool aiKeyStored = false;
    } cases[] = {
        {"fallback", nullptr, u"O motor online não respondeu; resolvido no aparelho."_s, false},
        {"engine failure", failed(Error(u"Falha do Google"_s)), u"Falha do Google"_s, true},
        {"cancelled", failed(CancelledError()), std::nullopt, false},
        {"no device model, no key", unavailable, L10n::string(u"panel.aiUnavailableHint"_s), true},
        {"no device model, a key", unavailable, u"IA no aparelho indisponível neste computador"_s,
         true, true},
        {"device model failure", failed(ReformulatorError::underlying(u"O modelo caiu"_s)),
         u"O modelo caiu"_s, true},
        {"unexpected exception", failed(std::runtime_error("boom")), QString(), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PanelEnvironment fresh; // a key stored or not, from the start
        if (c.aiKeyStored)
            fresh.keys.writeKey(u"sk-test"_s, KeyStore::aiAccount(AIProvider::openai));
        auto panel = fresh.makeViewModel();
        panel->configure(PanelEnvironment::snapshot());
        panel->translate();
        fresh.engines->last()->succeed(u"Good morning"_s);
        panel->reformulate();
        if (c.failure)
            fresh.engines->last()->fail(c.failure);
        else
            fresh.engines->last()->succeed(u"Good day"_s, EngineKind::onDevice, true);
        EXPECT_FALSE(panel->isWorking());
        // A failure keeps the earlier result.
        EXPECT_EQ(panel->resultText(), c.failure ? u"Good morning"_s : u"Good day"_s);
        EXPECT_EQ(panel->resultEngine(), c.failure ? EngineKind::google : EngineKind::onDevice);
        EXPECT_EQ(panel->statusIsError(), c.isError);
        if (c.status && c.status->isEmpty())
            EXPECT_FALSE(panel->statusMessage()->contains(u"boom"_s));
        else
            EXPECT_EQ(panel->statusMessage(), c.status);
        panel->review();
        EXPECT_FALSE(panel->statusMessage());
    }
}

TEST_F(PanelViewModelTest, PickerTranslatesAgainOnlyInTranslateMode) {
    const TargetLanguage french = *TargetLanguage::named(u"fr");
    const TargetLanguage german = *TargetLanguage::named(u"de");
    env.prefs.setTargetLanguage(*TargetLanguage::named(u"it"));
    model->configure(PanelEnvironment::snapshot());
    EXPECT_EQ(model->targetLanguage().code, u"it"_s); // read afresh
    model->reformulate();
    lastCall()->succeed(u"Olá"_s);
    model->chooseTargetLanguage(french);
    EXPECT_EQ(env.engines->calls.size(), 1);
    EXPECT_EQ(env.prefs.targetLanguage(), french); // stored at once

    model->translate();
    EXPECT_EQ(lastCall()->text, u"Bom dia, mundo"_s);
    EXPECT_EQ(lastCall()->target, u"fr"_s);
    lastCall()->succeed(u"Bonjour"_s);
    model->chooseTargetLanguage(german);
    ASSERT_EQ(env.engines->calls.size(), 3);
    EXPECT_EQ(lastCall()->target, u"de"_s);
    EXPECT_EQ(model->resultText(), u"Bonjour"_s); // until the new one arrives
    lastCall()->succeed(u"Guten Tag"_s);
    EXPECT_EQ(model->resultText(), u"Guten Tag"_s);
    EXPECT_EQ(env.prefs.targetLanguage(), german);
}

TEST_F(PanelViewModelTest, ConcurrentActionsTheLastToFinishWins) {
    model->translate();
    const auto translation = lastCall();
    model->summarize();
    const auto summary = lastCall();
    summary->succeed(u"resumo"_s);
    EXPECT_FALSE(model->isWorking()); // the first to finish clears it
    translation->succeed(u"tradução"_s);
    EXPECT_EQ(model->resultText(), u"tradução"_s);
    EXPECT_EQ(model->mode(), Mode::summarize);
}

TEST_F(PanelViewModelTest, EachActionAsksItsOwnOperationAndCanReplaceByModeAndEditability) {
    EXPECT_FALSE(model->canReplaceResult());
    struct Row {
        void (PanelViewModel::*start)();
        const char16_t* operation; // what the engines are asked for; none for the chat's start
        bool canReplace;
    };
    for (const Row& row : {Row{&PanelViewModel::translate, u"translate", true},
                           Row{&PanelViewModel::reformulate, u"reformulate", true},
                           Row{&PanelViewModel::review, u"review", true},
                           Row{&PanelViewModel::summarize, u"summarize", false},
                           Row{&PanelViewModel::startAsk, nullptr, false}}) {
        const qsizetype callsBefore = env.engines->calls.size();
        (model.get()->*row.start)();
        EXPECT_EQ(model->canReplaceResult(), row.canReplace) << int(model->mode());
        if (row.operation) {
            ASSERT_EQ(env.engines->calls.size(), callsBefore + 1);
            EXPECT_EQ(lastCall()->operation.toStdString(),
                      QString::fromUtf16(row.operation).toStdString());
        }
    }
    model->configure(PanelEnvironment::snapshot(u"só leitura"_s, false));
    model->translate();
    EXPECT_FALSE(model->canReplaceResult());
}

// Delayed work keeps its times: layout notifications 40 ms after each change, one each, and the
// copy confirmation 1.2 s from the first copy. None of it runs once the model is gone.
TEST_F(PanelViewModelTest, DelayedWorkKeepsItsTimesAndEndsWithTheModel) {
    model->translate();
    model->configure(PanelEnvironment::snapshot()); // the abandoned translation adds none
    translated(u"ok"_s);
    model->startAsk();
    env.clock.advance(39ms);
    EXPECT_EQ(layoutNotifications, 0);
    env.clock.advance(1ms);
    EXPECT_EQ(layoutNotifications, 2); // not merged

    model->copy(u"um"_s);
    EXPECT_TRUE(model->copiedFeedback());
    env.clock.advance(500ms);
    model->copy(u"dois"_s);
    EXPECT_EQ(env.clipboard.string(), u"dois"_s);
    env.clock.advance(699ms);
    EXPECT_TRUE(model->copiedFeedback());
    env.clock.advance(1ms);
    EXPECT_FALSE(model->copiedFeedback());

    model->translate();
    const auto call = lastCall();
    model->copy(u"x"_s);
    const int notified = layoutNotifications;
    model.reset();
    EXPECT_TRUE(call->token.isCancelled());
    env.clock.advance(2s); // delayed work finds no model and does nothing
    EXPECT_EQ(layoutNotifications, notified);
}

TEST_F(PanelViewModelTest, ChatKeepsItsHistoryAcrossModes) {
    model->sendChat(u"   \n "_s);
    EXPECT_EQ(env.engines->chatsMade, 0);

    model->sendChat(u"  O que significa?  "_s);
    EXPECT_EQ(model->mode(), Mode::ask);
    EXPECT_TRUE(model->isWorking());
    ASSERT_EQ(lastCall()->text, u"O que significa?"_s);
    const auto question = lastCall();

    model->sendChat(u"outra"_s); // one question at a time
    EXPECT_EQ(env.engines->calls.size(), 1);

    // The answer shows as it is written, in one message that grows.
    question->progress(u"Uma"_s);
    question->progress(u"Uma sauda"_s);
    ASSERT_EQ(model->chatMessages().size(), 2);
    EXPECT_EQ(model->chatMessages()[1].text, u"Uma sauda"_s);
    question->answer->resolve(u"Uma saudação."_s);
    ASSERT_EQ(model->chatMessages().size(), 2);
    EXPECT_TRUE(model->chatMessages()[0].isUser);
    EXPECT_EQ(model->chatMessages()[1].text, u"Uma saudação."_s);
    EXPECT_FALSE(model->chatMessages()[1].isUser);

    translated(u"Hello"_s);
    model->startAsk();
    EXPECT_EQ(model->chatMessages().size(), 2);
    EXPECT_EQ(env.engines->chatsMade, 1);

    model->sendChat(u"E depois?"_s);
    lastCall()->fail(Error(u"Sem rede"_s));
    EXPECT_EQ(model->chatMessages().size(), 3); // the question stays without an answer
    EXPECT_EQ(model->statusMessage(), u"Sem rede"_s);
    EXPECT_TRUE(model->statusIsError());

    // Broken after a piece: the piece stays, marked incomplete.
    model->sendChat(u"E então?"_s);
    lastCall()->progress(u"Então"_s);
    lastCall()->fail(Error(u"Sem rede"_s));
    ASSERT_EQ(model->chatMessages().size(), 5);
    EXPECT_EQ(model->chatMessages()[4].text, u"Então"_s);
    EXPECT_EQ(model->statusMessage(), u"Resposta incompleta."_s);
}

// A replacement done hides the panel after 900 ms; one that failed says why and may be tried again.
TEST_F(PanelViewModelTest, ReplacementHidesAfter900msOrShowsWhyItFailed) {
    model->replace(); // nothing to write yet
    EXPECT_TRUE(env.replacer.calls.isEmpty());

    model->review();
    lastCall()->succeed(u"Bom dia, mundo!"_s);
    model->replace();
    model->replace(); // a double click: one write-back
    ASSERT_EQ(env.replacer.calls.size(), 1);
    EXPECT_EQ(env.replacer.calls[0]->text, u"Bom dia, mundo!"_s);
    EXPECT_EQ(env.replacer.calls[0]->snapshot.pid, 4242);
    EXPECT_TRUE(model->isWorking());
    EXPECT_TRUE(model->isReplacing());
    env.replacer.calls[0]->outcome->resolve(ReplaceOutcome::replacedViaPaste());
    EXPECT_EQ(model->statusMessage(), u"Substituído ✓"_s);
    EXPECT_FALSE(model->statusIsError());
    env.clock.advance(899ms);
    EXPECT_EQ(hideRequests, 0);
    env.clock.advance(1ms);
    EXPECT_EQ(hideRequests, 1);

    env.replacer.calls.clear();
    translated(u"Hi"_s);
    model->replace();
    env.replacer.calls[0]->outcome->resolve(ReplaceOutcome::failed());
    EXPECT_EQ(model->statusMessage(), u"não consegui substituir aqui — use Copiar resultado"_s);
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
    EXPECT_EQ(hideRequests, 1);
    EXPECT_EQ(model->mode(), Mode::translate);

    // A write-back done just before a new selection showed does not hide the new one.
    model->replace();
    env.replacer.calls[3]->outcome->resolve(ReplaceOutcome::replacedViaAccessibility());
    model->configure(PanelEnvironment::snapshot(u"nova seleção"_s));
    env.clock.advance(1s);
    EXPECT_EQ(hideRequests, 1);
}

// An answer written as it goes shows at once and grows; it is copied or written back only when
// whole, and a break after part of it keeps that part, marked, and never writes it back.
TEST_F(PanelViewModelTest, AnAnswerShowsAsItIsWritten) {
    for (const char* ending : {"succeed", "fail", "cancel", "hide"}) {
        SCOPED_TRACE(ending);
        model->configure(PanelEnvironment::snapshot());
        model->reformulate();
        const auto call = lastCall();
        call->progress(u"Bom"_s);
        call->progress(u"Bom dia"_s);
        EXPECT_EQ(model->resultText(), u"Bom dia"_s);
        EXPECT_EQ(model->resultEngine(), EngineKind::online);
        EXPECT_TRUE(model->isWorking());
        EXPECT_TRUE(model->resultIsArriving());
        model->replace();
        EXPECT_TRUE(env.replacer.calls.isEmpty());

        const QString ended = QString::fromLatin1(ending);
        if (ended == u"succeed") {
            call->succeed(u"Bom dia a todos"_s, EngineKind::online);
            EXPECT_EQ(model->resultText(), u"Bom dia a todos"_s);
            EXPECT_FALSE(model->resultIsIncomplete());
            EXPECT_TRUE(model->canReplaceResult());
            EXPECT_FALSE(model->statusMessage());
            model->replace();
            ASSERT_EQ(env.replacer.calls.size(), 1);
            EXPECT_EQ(env.replacer.calls.last()->text, u"Bom dia a todos"_s);
            env.replacer.calls.last()->outcome->resolve(ReplaceOutcome::replacedViaAccessibility());
            env.replacer.calls.clear();
        } else if (ended == u"fail") {
            // What the panel shows of the part kept is followed in the panel widget tests.
            call->fail(HttpTransportError(HttpTransportError::Kind::noConnection));
            model->replace();
            EXPECT_TRUE(env.replacer.calls.isEmpty());
        } else {
            if (ended == u"cancel")
                model->configure(PanelEnvironment::snapshot(u"Outro"_s));
            else
                model->reset();
            EXPECT_TRUE(call->token.isCancelled());
            call->progress(u"Bom dia atrasado"_s);
            EXPECT_FALSE(model->resultText());
            EXPECT_FALSE(model->statusMessage());
            EXPECT_EQ(model->mode(), Mode::none);
        }
        EXPECT_FALSE(model->isWorking());
        EXPECT_FALSE(model->resultIsArriving());
    }
}

TEST(PanelViewModelText, ResultsLongerThanTheLimitAreShownCutWithAnEllipsis) {
    const QString atLimit(PanelViewModel::maxShownLength, u'x');
    EXPECT_EQ(PanelViewModel::shownText(atLimit), atLimit);
    EXPECT_EQ(PanelViewModel::shownText(atLimit + u"yz"), atLimit + u'…');
    // A character outside the basic plane is never split in half.
    const QString emoji = QString(PanelViewModel::maxShownLength - 1, u'x') + u"😀z"_s;
    EXPECT_EQ(PanelViewModel::shownText(emoji),
              QString(PanelViewModel::maxShownLength - 1, u'x') + u'…');
}
