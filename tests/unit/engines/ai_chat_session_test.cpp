#include "engine_test_support.h"
#include "engines/ai_chat_session.h"
#include "engines/reformulator.h"
#include "fakes/fake_http_server.h"
#include "fakes/fake_language_services.h"

#include <gtest/gtest.h>

using namespace ovra;
using namespace ovra::test;

namespace {

std::string answer(const std::string& content) {
    return R"({"choices":[{"message":{"content":")" + content + R"("}}]})";
}

class AIChatSessionTest : public ::testing::Test {
protected:
    AIChatSessionTest() {
        env.prefs.setAIProvider(AIProvider::custom); // the provider whose address is the user's
        env.prefs.setBaseURL(AIProvider::custom, server.url(QStringLiteral("/v1")).toString());
    }
    std::unique_ptr<AIChatSession> session(const QString& selection = QStringLiteral("Texto")) {
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
        selection += QStringLiteral("e\u0301");
    const auto chat = session(selection);
    EXPECT_EQ(chat->selection().size(), 7000);
    EXPECT_EQ(AIChatSession::leadingCharacters(QStringLiteral("ab😀c"), 3), QStringLiteral("ab😀"));
    EXPECT_EQ(AIChatSession::leadingCharacters(QStringLiteral("ab"), 3), QStringLiteral("ab"));
    EXPECT_TRUE(chat->instructions().endsWith(
        QStringLiteral("(se a pergunta não deixar o idioma claro, use o idioma do texto).\n\n"
                       "Texto selecionado:\n\"\"\"\n") +
        chat->selection() + QStringLiteral("\n\"\"\"")));
    EXPECT_TRUE(chat->instructions().startsWith(
        QStringLiteral("Você é um assistente dentro do app Ovra.")));
}

TEST_F(AIChatSessionTest, OnlineHistoryGrowsByTwoAndStaysUnchangedAfterAFailure) {
    env.setAIKey(AIProvider::custom, aiKey);
    const auto chat = session();
    ASSERT_TRUE(chat->useOnline());
    ASSERT_EQ(chat->onlineHistory().size(), 1);
    EXPECT_EQ(chat->onlineHistory().first().role, QStringLiteral("system"));

    server.enqueue({200, answer("  Resposta 1 \\n")});
    EXPECT_EQ(runToEnd(chat->ask(QStringLiteral("Pergunta 1"))), QStringLiteral("Resposta 1"));
    EXPECT_EQ(chat->onlineHistory().size(), 3);

    const auto before = chat->onlineHistory();
    server.enqueue({500, R"({"error":{"message":"overloaded"}})"});
    const auto error = expectFailure<OnlineAIError>(chat->ask(QStringLiteral("Pergunta 2")));
    EXPECT_EQ(error.description(), QStringLiteral("IA online respondeu 500: overloaded"));
    EXPECT_EQ(chat->onlineHistory(), before);

    // The retried question is sent once, after the earlier turn.
    server.enqueue({200, answer("Resposta 2")});
    runToEnd(chat->ask(QStringLiteral("Pergunta 2")));
    const std::string body = server.lastRequest().body;
    EXPECT_NE(
        body.find(
            R"({"role":"user","content":"Pergunta 1"},{"role":"assistant","content":"Resposta 1"},{"role":"user","content":"Pergunta 2"}])"),
        std::string::npos);
    EXPECT_EQ(body.find("Pergunta 2"), body.rfind("Pergunta 2"));
    EXPECT_EQ(model.turns.size(), 0u); // never the device
}

TEST_F(AIChatSessionTest, KeyRemovedAfterCreationStillAsksOnlineAndFails) {
    env.setAIKey(AIProvider::custom, aiKey);
    const auto chat = session();
    env.setAIKey(AIProvider::custom, QString());
    const auto error = expectFailure<OnlineAIError>(chat->ask(QStringLiteral("q")));
    EXPECT_EQ(error.kind(), OnlineAIError::Kind::notConfigured);
    EXPECT_EQ(chat->onlineHistory().size(), 1);
    EXPECT_EQ(model.turns.size(), 0u);
}

TEST_F(AIChatSessionTest, TransportFailureIsPassedOnUnchanged) {
    env.setAIKey(AIProvider::custom, aiKey);
    int port = 0;
    {
        FakeHttpServer gone;
        port = gone.port();
    }
    env.prefs.setBaseURL(AIProvider::custom,
                         QStringLiteral("http://127.0.0.1:") + QString::number(port));
    const auto chat = session();
    const auto error = expectFailure<HttpTransportError>(chat->ask(QStringLiteral("q")));
    EXPECT_EQ(error.kind(), HttpTransportError::Kind::noConnection);
}

TEST_F(AIChatSessionTest, DeviceQuestionsShareOneSession) {
    const auto chat = session(QStringLiteral("Sel"));
    ASSERT_FALSE(chat->useOnline());
    model.replies = {QStringLiteral(" r1 "), QStringLiteral("r2")};
    EXPECT_EQ(runToEnd(chat->ask(QStringLiteral("q1"))), QStringLiteral("r1"));
    EXPECT_EQ(runToEnd(chat->ask(QStringLiteral("q2"))), QStringLiteral("r2"));
    EXPECT_EQ(model.sessionInstructions,
              QStringList{AIChatSession::instructionsFor(QStringLiteral("Sel"))});
    ASSERT_EQ(model.conversations.size(), 1u);
    EXPECT_EQ(model.conversations[0].size(), 2u);
    EXPECT_TRUE(chat->onlineHistory().isEmpty());
    EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(AIChatSessionTest, DeviceFailures) {
    const auto chat = session();
    model.available = false;
    EXPECT_EQ(expectFailure<ReformulatorError>(chat->ask(QStringLiteral("q"))).kind(),
              ReformulatorError::Kind::unavailable);
    EXPECT_TRUE(model.sessionInstructions.isEmpty());

    model.available = true;
    model.replies = {QStringLiteral("   "), failure(Error(QStringLiteral("falhou"))),
                     QStringLiteral("ok")};
    EXPECT_EQ(expectFailure<ReformulatorError>(chat->ask(QStringLiteral("q"))).description(),
              QStringLiteral("A IA não devolveu texto. Tente de novo."));
    EXPECT_EQ(expectFailure<ReformulatorError>(chat->ask(QStringLiteral("q"))).description(),
              QStringLiteral("falhou"));
    // The session survives failures.
    EXPECT_EQ(runToEnd(chat->ask(QStringLiteral("q"))), QStringLiteral("ok"));
    EXPECT_EQ(model.sessionInstructions.size(), 1);
}

} // namespace
