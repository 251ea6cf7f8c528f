#include "engine_test_support.h"
#include "engines/ai_chat_session.h"
#include "engines/reformulator.h"
#include "fakes/fake_http_server.h"
#include "fakes/fake_language_services.h"

#include <gtest/gtest.h>

using namespace ovra;
using namespace ovra::test;
using namespace Qt::StringLiterals;

namespace {

std::string answer(const std::string& content) {
    return R"({"choices":[{"message":{"content":")" + content + R"("}}]})";
}

class AIChatSessionTest : public ::testing::Test {
protected:
    AIChatSessionTest() {
        env.prefs.setAIProvider(AIProvider::custom); // the provider whose address is the user's
        env.prefs.setBaseURL(AIProvider::custom, server.url(u"/v1"_s).toString());
    }
    std::unique_ptr<AIChatSession> session(const QString& selection = u"Texto"_s) {
        return std::make_unique<AIChatSession>(selection, env.prefs, env.keys, client, model);
    }

    EngineEnvironment env;
    FakeHttpServer server;
    OnlineAIClient client{env.prefs, env.keys, env.http};
    FakeLanguageModel model;
};

TEST_F(AIChatSessionTest, SelectionIsCutAtThirtyFiveHundredUserPerceivedCharacters) {
    // "é" written as e + combining acute: two code units, one character.
    QString selection;
    for (int i = 0; i < 5000; ++i)
        selection += u"e\u0301"_s;
    const auto chat = session(selection);
    EXPECT_EQ(chat->selection().size(), 7000);
    EXPECT_EQ(AIChatSession::leadingCharacters(u"ab😀c"_s, 3), u"ab😀"_s);
    EXPECT_EQ(AIChatSession::leadingCharacters(u"ab"_s, 3), u"ab"_s);
    EXPECT_TRUE(chat->instructions().endsWith(
        u"(se a pergunta não deixar o idioma claro, use o idioma do texto).\n\n"
        u"Texto selecionado:\n\"\"\"\n"_s +
        chat->selection() + u"\n\"\"\""_s));
    EXPECT_TRUE(chat->instructions().startsWith(u"Você é um assistente dentro do app Ovra."_s));
}

TEST_F(AIChatSessionTest, OnlineHistoryGrowsByTwoAndStaysUnchangedAfterAFailure) {
    env.setAIKey(AIProvider::custom, aiKey);
    const auto chat = session();
    ASSERT_TRUE(chat->useOnline());
    ASSERT_EQ(chat->onlineHistory().size(), 1);
    EXPECT_EQ(chat->onlineHistory().first().role, u"system"_s);

    server.enqueue({200, answer("  Resposta 1 \\n")});
    EXPECT_EQ(runToEnd(chat->ask(u"Pergunta 1"_s)), u"Resposta 1"_s);
    EXPECT_EQ(chat->onlineHistory().size(), 3);

    const auto before = chat->onlineHistory();
    server.enqueue({500, R"({"error":{"message":"overloaded"}})"});
    const auto error = expectFailure<OnlineAIError>(chat->ask(u"Pergunta 2"_s));
    EXPECT_EQ(error.description(), u"IA online respondeu 500: overloaded"_s);
    EXPECT_EQ(chat->onlineHistory(), before);

    // The retried question is sent once, after the earlier turn.
    server.enqueue({200, answer("Resposta 2")});
    runToEnd(chat->ask(u"Pergunta 2"_s));
    const std::string body = server.lastRequest().body;
    EXPECT_NE(
        body.find(
            R"({"role":"user","content":"Pergunta 1"},{"role":"assistant","content":"Resposta 1"},{"role":"user","content":"Pergunta 2"}])"),
        std::string::npos);
    EXPECT_EQ(body.find("Pergunta 2"), body.rfind("Pergunta 2"));

    // A transport failure is passed on unchanged.
    env.prefs.setBaseURL(AIProvider::custom, closedLoopbackUrl().toString());
    EXPECT_EQ(expectFailure<HttpTransportError>(chat->ask(u"q"_s)).kind(),
              HttpTransportError::Kind::noConnection);

    // A key removed after the chat began: still online, and it says so.
    env.setAIKey(AIProvider::custom, QString());
    EXPECT_EQ(expectFailure<OnlineAIError>(chat->ask(u"q"_s)).kind(),
              OnlineAIError::Kind::notConfigured);
    EXPECT_EQ(chat->onlineHistory().size(), 5);
    EXPECT_EQ(model.turns.size(), 0u); // never the device
}

// Without a key the device answers; its one session serves every question and survives failures.
TEST_F(AIChatSessionTest, DeviceQuestionsShareOneSessionThatSurvivesFailures) {
    const auto chat = session(u"Sel"_s);
    ASSERT_FALSE(chat->useOnline());
    model.available = false;
    EXPECT_EQ(expectFailure<ReformulatorError>(chat->ask(u"q"_s)).kind(),
              ReformulatorError::Kind::unavailable);
    EXPECT_TRUE(model.sessionInstructions.isEmpty());

    model.available = true;
    model.replies = {u"   "_s, failure(Error(u"falhou"_s)), u" r1 "_s, u"r2"_s};
    EXPECT_EQ(expectFailure<ReformulatorError>(chat->ask(u"q"_s)).description(),
              u"A IA não devolveu texto. Tente de novo."_s);
    EXPECT_EQ(expectFailure<ReformulatorError>(chat->ask(u"q"_s)).description(), u"falhou"_s);
    EXPECT_EQ(runToEnd(chat->ask(u"q1"_s)), u"r1"_s);
    EXPECT_EQ(runToEnd(chat->ask(u"q2"_s)), u"r2"_s);
    EXPECT_EQ(model.sessionInstructions, QStringList{AIChatSession::instructionsFor(u"Sel"_s)});
    ASSERT_EQ(model.turns.size(), 4u);
    EXPECT_EQ(model.turns[3].session, 0);
    EXPECT_TRUE(chat->onlineHistory().isEmpty());
    EXPECT_EQ(server.requestCount(), 0u);
}

} // namespace
