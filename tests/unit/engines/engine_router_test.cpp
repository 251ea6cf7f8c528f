#include "engine_test_support.h"
#include "engines/engine_router.h"
#include "engines/reformulator.h"
#include "fakes/fake_http_server.h"
#include "fakes/fake_language_services.h"

#include <QTest>
#include <gtest/gtest.h>

using namespace ovra;
using namespace ovra::test;
using namespace Qt::StringLiterals;

namespace {

const std::string googleOk = R"({"data":{"translations":[{"translatedText":"from google"}]}})";
const std::string aiOk = R"({"choices":[{"message":{"content":"from ai"}}]})";

class EngineRouterTest : public ::testing::Test {
protected:
    EngineRouterTest() {
        env.prefs.setAIProvider(AIProvider::custom); // the provider whose address is the user's
        env.prefs.setBaseURL(AIProvider::custom, ai.url(u"/v1"_s).toString());
        google.setDefault({200, googleOk});
        ai.setDefault({200, aiOk});
        host.setActive(true);
    }
    EngineOutcome translate(CancelToken token = {}) {
        return runToEnd(
            router.translate(u"olá"_s, *TargetLanguage::named(u"en"), std::move(token)));
    }

    EngineEnvironment env;
    FakeHttpServer google;
    FakeHttpServer ai;
    FakeLanguageModel model;
    FakeTranslationService translator;
    TranslationCoordinator coordinator;
    TranslationSessionHost host{coordinator, translator};
    EngineRouter router{env.prefs, env.keys, env.http, model, coordinator, google.url()};
};

TEST_F(EngineRouterTest, TranslationFollowsTheProviderSettingNeverCrossesOverAndFallsBack) {
    // Google chosen, nothing stored: the built-in key makes Google usable.
    env.prefs.setOnlineTranslationProvider(OnlineTranslationProvider::google);
    EXPECT_EQ(translate(), (EngineOutcome{u"from google"_s, EngineKind::google, false}));
    EXPECT_EQ(google.lastRequest().header("X-goog-api-key"), builtinGoogleKey.toStdString());

    // AI chosen with a key: the AI service, never Google.
    env.setAIKey(AIProvider::custom, aiKey);
    env.prefs.setOnlineTranslationProvider(OnlineTranslationProvider::ai);
    EXPECT_EQ(translate(), (EngineOutcome{u"from ai"_s, EngineKind::online, false}));
    EXPECT_EQ(google.requestCount(), 1u);

    // AI chosen without a key: straight to the device, no fallback flag, Google not consulted.
    env.setAIKey(AIProvider::custom, QString());
    EXPECT_EQ(translate(), (EngineOutcome{u"olá → en"_s, EngineKind::onDevice, false}));
    EXPECT_EQ(google.requestCount(), 1u);
    EXPECT_EQ(ai.requestCount(), 1u);

    // An online failure falls back to the device silently; a Google failure never leads to the AI.
    env.setAIKey(AIProvider::custom, aiKey);
    env.prefs.setOnlineTranslationProvider(OnlineTranslationProvider::google);
    google.setDefault({403, R"({"error":{"message":"API key not valid"}})"});
    EXPECT_EQ(translate(), (EngineOutcome{u"olá → en"_s, EngineKind::onDevice, true}));
    EXPECT_EQ(ai.requestCount(), 1u);
    env.prefs.setOnlineTranslationProvider(OnlineTranslationProvider::ai);
    ai.setDefault({200, R"({"choices":[{"message":{"content":null}}]})"});
    EXPECT_EQ(translate(), (EngineOutcome{u"olá → en"_s, EngineKind::onDevice, true}));
}

// A stream that breaks before any text falls back like any failure; one that breaks after text
// was shown is reported as it is, for every action the AI answers.
TEST_F(EngineRouterTest, AStreamBrokenAfterShownTextIsNotCoveredByTheDevice) {
    env.setAIKey(AIProvider::custom, aiKey);
    env.prefs.setOnlineTranslationProvider(OnlineTranslationProvider::ai);
    const auto streamOf = [](std::vector<std::string> pieces) {
        FakeHttpServer::Response response{200,   "", "text/event-stream",
                                          false, {}, FakeHttpServer::Stream::pieces};
        response.pieces = std::move(pieces);
        return response;
    };
    const std::string error = "data: {\"error\":{\"message\":\"m\"}}\n\n";
    const std::string piece = "data: {\"choices\":[{\"delta\":{\"content\":\"pa\"}}]}\n\n";
    using Run = std::function<QCoro::Task<EngineOutcome>(TextProgress)>;
    const Run runs[] = {
        [&](TextProgress p) {
            return router.translate(u"olá"_s, *TargetLanguage::named(u"en"), {}, p);
        },
        [&](TextProgress p) { return router.reformulate(u"olá"_s, {}, p); },
        [&](TextProgress p) { return router.runAction(AIActionKind::summarize, u"olá"_s, {}, p); },
    };
    for (const Run& run : runs) {
        QStringList shown;
        const TextProgress progress = [&](const QString& text) { shown.append(text); };
        ai.enqueue(streamOf({error}));
        EXPECT_EQ(runToEnd(run(progress)).engine, EngineKind::onDevice);
        EXPECT_TRUE(shown.isEmpty());
        ai.enqueue(streamOf({piece, error}));
        expectFailure<OnlineAIError>(run(progress));
        EXPECT_EQ(shown, QStringList{u"pa"_s});
    }
}

TEST_F(EngineRouterTest, DeviceTranslationIsRetriedOnceWithAFreshSession) {
    env.prefs.setOnlineTranslationProvider(OnlineTranslationProvider::ai); // no AI key: device
    translator.translations = {failure(Error(u"sessão velha"_s)), u"ok"_s};
    EXPECT_EQ(translate().text, u"ok"_s);
    ASSERT_EQ(translator.sessionsMade.size(), 2u);
    EXPECT_NE(translator.sessionsMade[0].generation, translator.sessionsMade[1].generation);
    EXPECT_FALSE(coordinator.forceFreshSession());

    translator.translations = {failure(Error(u"um"_s)), failure(Error(u"dois"_s))};
    const auto error = expectFailure<Error>(router.translate(u"x"_s, TargetLanguage::portuguese()));
    EXPECT_EQ(error.description(), u"dois"_s);
    EXPECT_EQ(translator.sessionsMade.size(), 4u); // no third attempt

    // Cancelled while it waits for a session: not retried.
    host.setActive(false);
    auto task = router.translate(u"x"_s, TargetLanguage::portuguese());
    coordinator.cancelPending();
    expectFailure<CancelledError>(std::move(task));
    EXPECT_FALSE(coordinator.hasPendingRequest());
    EXPECT_FALSE(coordinator.forceFreshSession());
}

TEST_F(EngineRouterTest, SummarizeSendsTheInstructionAndTheSelectionUnchanged) {
    env.setAIKey(AIProvider::custom, aiKey);
    const auto outcome = runToEnd(router.runAction(AIActionKind::summarize, u" Sel\n"_s));
    EXPECT_EQ(outcome, (EngineOutcome{u"from ai"_s, EngineKind::online, false}));
    const std::string expected =
        R"("messages":[{"role":"system","content":"Resuma o texto do usuário de forma clara e fiel, no )"
        R"(mesmo idioma do texto, com no máximo um terço do tamanho original. Responda só com o )"
        R"(resumo, sem explicações nem comentários."},{"role":"user","content":" Sel\n"}])";
    EXPECT_NE(ai.lastRequest().body.find(expected), std::string::npos);
}

TEST_F(EngineRouterTest, ActionsAndReformulationOnTheDevice) {
    // A key stored while the device works does not make the device answer a fallback.
    model.holdReplies = true;
    auto task = router.reformulate(u"txt"_s);
    ASSERT_EQ(model.heldCount(), 1u);
    env.setAIKey(AIProvider::custom, aiKey);
    model.releaseHeld();
    model.holdReplies = false;
    EXPECT_FALSE(runToEnd(std::move(task)).usedFallback);
    EXPECT_EQ(ai.requestCount(), 0u);
    env.setAIKey(AIProvider::custom, QString());

    // No key: the device, with the same instruction, no fallback flag.
    auto outcome = runToEnd(router.runAction(AIActionKind::review, u"txt"_s));
    EXPECT_EQ(outcome, (EngineOutcome{u"device answer"_s, EngineKind::onDevice, false}));
    EXPECT_EQ(model.sessionInstructions.last(), EngineRouter::instruction(AIActionKind::review));

    // Key present but the service fails: the device answers, flagged as a fallback.
    env.setAIKey(AIProvider::custom, aiKey);
    ai.setDefault({500, "{}"});
    outcome = runToEnd(router.reformulate(u"txt"_s));
    EXPECT_EQ(outcome, (EngineOutcome{u"device answer"_s, EngineKind::onDevice, true}));
    EXPECT_EQ(model.sessionInstructions.last(), Reformulator::instructions());

    // ...and with no device model the failure is the device's.
    model.available = false;
    const auto error = expectFailure<ReformulatorError>(router.reformulate(u"txt"_s));
    EXPECT_EQ(error.kind(), ReformulatorError::Kind::unavailable);
    EXPECT_EQ(ai.requestCount(), 2u);
}

// A cancelled request to either online service is not answered by the device instead.
TEST_F(EngineRouterTest, CancelledOnlineWorkIsNotAnsweredByTheDevice) {
    env.setAIKey(AIProvider::custom, aiKey);
    env.prefs.setOnlineTranslationProvider(OnlineTranslationProvider::google);
    google.setDefault({200, googleOk, "application/json", /*hold=*/true});
    ai.setDefault({200, aiOk, "application/json", /*hold=*/true});
    const std::pair<FakeHttpServer*, std::function<QCoro::Task<EngineOutcome>(CancelToken)>>
        runs[] = {{&google,
                   [&](CancelToken token) {
                       return router.translate(u"olá"_s, TargetLanguage::portuguese(), token);
                   }},
                  {&ai, [&](CancelToken token) {
                       return router.runAction(AIActionKind::summarize, u"t"_s, token);
                   }}};
    for (const auto& [server, start] : runs) {
        CancelSource cancel;
        auto task = start(cancel.token());
        FakeHttpServer* const asked = server;
        ASSERT_TRUE(QTest::qWaitFor([asked] { return asked->requestCount() == 1; }, 5000));
        cancel.cancel();
        expectFailure<CancelledError>(std::move(task));
    }
    EXPECT_TRUE(translator.calls.isEmpty());
    EXPECT_TRUE(translator.sessionsMade.empty());
    EXPECT_TRUE(model.turns.empty());
    google.release();
    ai.release();
}

} // namespace
