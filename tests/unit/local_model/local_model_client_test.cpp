#include "engines/reformulator.h"
#include "fakes/fake_http_server.h"
#include "fakes/fake_ollama_server.h"
#include "ondevice/local_model/local_model_choice.h"
#include "ondevice/local_model/local_model_client.h"
#include "ondevice/local_model/local_model_session.h"
#include "unit/engines/engine_test_support.h"

#include "support/task_runner.h"
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <qcoro/qcorotask.h>

using namespace ovra;
using namespace ovra::test;
using namespace Qt::StringLiterals;

namespace {

ReformulatorError failureOf(QCoro::Task<QString>&& task) {
    auto error = test::failureOf<ReformulatorError>(std::move(task));
    EXPECT_FALSE(error.description().contains(u"127.0.0.1"_s));
    return error;
}

TEST(LocalModelChoice, PrefersSmallInstructionModelsElseTheFirstInstalled) {
    EXPECT_EQ(LocalModelChoice::choose({u"mistral:7b"_s, u"qwen2.5:3b"_s}), u"qwen2.5:3b"_s);
    EXPECT_EQ(LocalModelChoice::choose({u"codellama:7b"_s, u"phi3:mini"_s}), u"phi3:mini"_s);
    EXPECT_EQ(LocalModelChoice::choose({u"codellama:7b"_s, u"x"_s}), u"codellama:7b"_s);
    EXPECT_FALSE(LocalModelChoice::choose({}));
    EXPECT_FALSE(LocalModelChoice::parseTags("not json"));
    EXPECT_EQ(LocalModelChoice::parseTags(R"({"models":[{"name":"a:1"},{"x":1}]})"),
              QStringList{u"a:1"_s});
}

TEST(LocalModelClient, IsAvailableOnlyWithAnInstalledModel) {
    FakeOllamaServer server;
    LocalModelClient client({.baseUrl = server.url()});
    EXPECT_FALSE(runToEnd(client.isAvailable({})));
    server.setModels({"codellama:7b", "llama3.2:3b"});
    EXPECT_TRUE(runToEnd(client.isAvailable({})));
    server.setTagsStatus(500);
    EXPECT_FALSE(runToEnd(client.isAvailable({})));
    EXPECT_EQ(server.tagsRequests(), 3); // asked each time, never cached

    // A server that is down: unavailable, and a session says so.
    LocalModelClient down({.baseUrl = closedLoopbackUrl()});
    EXPECT_FALSE(runToEnd(down.isAvailable({})));
    EXPECT_EQ(failureOf(down.openSession(u"i"_s)->respond(u"p"_s, {})).kind(),
              ReformulatorError::Kind::unavailable);
}

// A process on the local model's port is not trusted further than any other server.
TEST(LocalModelClient, AnEndlessModelListIsCutAtOneMebibyte) {
    FakeHttpServer server;
    LocalModelClient client(
        {.baseUrl = server.url(), .availabilityTimeout = std::chrono::seconds(10)});
    server.enqueue({200, "", "application/json", false, {}, FakeHttpServer::Stream::endless});
    EXPECT_FALSE(runToEnd(client.isAvailable({})));
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.streamsEnded(); }, 10'000));
    EXPECT_EQ(server.lastRequest().path, "/api/tags");
}

TEST(LocalModelSession, SendsTheWholeConversationAndKeepsOnlyAnsweredTurns) {
    FakeOllamaServer server;
    server.setModels({"codellama:7b", "llama3.2:3b"});
    LocalModelClient client({.baseUrl = server.url()});
    ASSERT_TRUE(runToEnd(client.isAvailable({})));
    auto session = client.openSession(u"Responda em português"_s);

    server.enqueue({200, "  primeira resposta\n", {}});
    server.enqueue({500, "", {}});
    server.enqueue({200, " \n ", {}});
    server.enqueue({200, "", "{\"unexpected\":true}"});
    server.enqueue({200, "segunda", {}});

    EXPECT_EQ(runToEnd(session->respond(u"Olá?"_s, {})),
              u"  primeira resposta\n"_s); // as produced
    auto error = failureOf(session->respond(u"falha"_s, {}));
    EXPECT_EQ(error.description(), u"A IA do aparelho recusou o pedido (HTTP 500)."_s);
    error = failureOf(session->respond(u"vazio"_s, {}));
    EXPECT_EQ(error.description(), u"A IA não devolveu texto. Tente de novo."_s);
    error = failureOf(session->respond(u"estranho"_s, {}));
    EXPECT_EQ(error.description(), u"A IA do aparelho deu uma resposta inesperada."_s);
    EXPECT_EQ(runToEnd(session->respond(u"E agora?"_s, {})), u"segunda"_s);

    const auto bodies = server.chatBodies();
    ASSERT_EQ(bodies.size(), 5u);
    const auto last = nlohmann::json::parse(bodies.back());
    EXPECT_EQ(last["model"], "llama3.2:3b");
    EXPECT_EQ(last["stream"], true);
    const nlohmann::json expected = nlohmann::json::array({
        {{"role", "system"}, {"content", "Responda em português"}},
        {{"role", "user"}, {"content", "Olá?"}},
        {{"role", "assistant"}, {"content", "  primeira resposta\n"}},
        {{"role", "user"}, {"content", "E agora?"}},
    });
    EXPECT_EQ(last["messages"], expected);
    EXPECT_EQ(static_cast<LocalModelSession*>(session.get())->messages().size(), 5u);
}

// A long answer arrives piece by piece for longer than the silence allowed between pieces: it is
// collected whole. A server that falls silent times out; a cancelled answer stops at once.
TEST(LocalModelSession, AStreamedAnswerIsCollectedAndOnlySilenceTimesItOut) {
    FakeOllamaServer server;
    server.setModels({"llama3.2:3b"});
    using namespace std::chrono_literals;
    LocalModelClient client({.baseUrl = server.url(), .answerIdleTimeout = 400ms});
    auto session = client.openSession(QString());
    server.enqueue({200, "", "", {"Um ", "resumo ", "longo ", "em ", "partes."}, 100ms});
    EXPECT_EQ(runToEnd(session->respond(u"resuma"_s, {})), u"Um resumo longo em partes."_s);

    server.enqueue({200, "", "", {"começa ", "e para"}, 1200ms});
    EXPECT_EQ(failureOf(session->respond(u"outro"_s, {})).description(),
              u"A IA do aparelho não respondeu a tempo. Tente de novo."_s);

    server.enqueue({200, "", "", {"nunca ", "acaba"}, 1200ms});
    CancelSource cancel;
    // Cancelled well before the silence would end it: the cancellation, not a time-out, ends it.
    QTimer::singleShot(100, [&] { cancel.cancel(); });
    EXPECT_THROW(runToEnd(session->respond(u"mais"_s, cancel.token())), CancelledError);
    // Only the answered turn joined the conversation.
    EXPECT_EQ(static_cast<LocalModelSession*>(session.get())->messages().size(), 2u);
}

TEST(LocalModelSession, ChoosesAModelWhenNoneWasCheckedAndStopsWhenCancelled) {
    FakeOllamaServer server;
    server.setModels({"gemma2:2b"});
    LocalModelClient client({.baseUrl = server.url()});
    auto session = client.openSession(QString());
    EXPECT_EQ(runToEnd(session->respond(u"oi"_s, {})), u"resposta local"_s);
    const auto body = nlohmann::json::parse(server.chatBodies().at(0));
    EXPECT_EQ(body["model"], "gemma2:2b");
    EXPECT_EQ(body["messages"].size(), 1u); // no empty system message

    CancelSource cancel;
    cancel.cancel();
    EXPECT_THROW(runToEnd(session->respond(u"x"_s, cancel.token())), CancelledError);
    EXPECT_THROW(runToEnd(client.isAvailable(cancel.token())), CancelledError);
}

} // namespace
