#include "engines/reformulator.h"
#include "fakes/fake_ollama_server.h"
#include "ondevice/local_model/local_model_choice.h"
#include "ondevice/local_model/local_model_client.h"
#include "ondevice/local_model/local_model_session.h"

#include "support/task_runner.h"
#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <qcoro/qcorotask.h>

using namespace ovra;
using namespace ovra::test;

namespace {

LocalModelClient::Options optionsFor(const QUrl& url) {
    LocalModelClient::Options options;
    options.baseUrl = url;
    return options;
}

ReformulatorError failureOf(QCoro::Task<QString>&& task) {
    auto error = test::failureOf<ReformulatorError>(std::move(task));
    EXPECT_FALSE(error.description().contains(QStringLiteral("127.0.0.1")));
    return error;
}

TEST(LocalModelChoice, PrefersSmallInstructionModelsElseTheFirstInstalled) {
    EXPECT_EQ(
        LocalModelChoice::choose({QStringLiteral("mistral:7b"), QStringLiteral("qwen2.5:3b")}),
        QStringLiteral("qwen2.5:3b"));
    EXPECT_EQ(
        LocalModelChoice::choose({QStringLiteral("codellama:7b"), QStringLiteral("phi3:mini")}),
        QStringLiteral("phi3:mini"));
    EXPECT_EQ(LocalModelChoice::choose({QStringLiteral("codellama:7b"), QStringLiteral("x")}),
              QStringLiteral("codellama:7b"));
    EXPECT_FALSE(LocalModelChoice::choose({}));
    EXPECT_FALSE(LocalModelChoice::parseTags("not json"));
    EXPECT_EQ(LocalModelChoice::parseTags(R"({"models":[{"name":"a:1"},{"x":1}]})"),
              QStringList{QStringLiteral("a:1")});
}

TEST(LocalModelClient, IsAvailableOnlyWithAnInstalledModel) {
    FakeOllamaServer server;
    LocalModelClient client(optionsFor(server.url()));
    EXPECT_FALSE(runToEnd(client.isAvailable({})));
    server.setModels({"codellama:7b", "llama3.2:3b"});
    EXPECT_TRUE(runToEnd(client.isAvailable({})));
    server.setTagsStatus(500);
    EXPECT_FALSE(runToEnd(client.isAvailable({})));
    EXPECT_EQ(server.tagsRequests(), 3); // asked each time, never cached
}

TEST(LocalModelClient, AServerThatIsDownIsUnavailableAtOnce) {
    QUrl downUrl;
    {
        FakeOllamaServer gone;
        downUrl = gone.url();
    }
    LocalModelClient client(optionsFor(downUrl));
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(runToEnd(client.isAvailable({})));
    EXPECT_LT(timer.elapsed(), 1000);
    auto session = client.openSession(QStringLiteral("i"));
    EXPECT_EQ(failureOf(session->respond(QStringLiteral("p"), {})).kind(),
              ReformulatorError::Kind::unavailable);
}

TEST(LocalModelSession, SendsTheWholeConversationAndKeepsOnlyAnsweredTurns) {
    FakeOllamaServer server;
    server.setModels({"codellama:7b", "llama3.2:3b"});
    LocalModelClient client(optionsFor(server.url()));
    ASSERT_TRUE(runToEnd(client.isAvailable({})));
    auto session = client.openSession(QStringLiteral("Responda em português"));

    server.enqueue({200, "  primeira resposta\n", {}});
    server.enqueue({500, "", {}});
    server.enqueue({200, " \n ", {}});
    server.enqueue({200, "", "{\"unexpected\":true}"});
    server.enqueue({200, "segunda", {}});

    EXPECT_EQ(runToEnd(session->respond(QStringLiteral("Olá?"), {})),
              QStringLiteral("  primeira resposta\n")); // as produced
    auto error = failureOf(session->respond(QStringLiteral("falha"), {}));
    EXPECT_EQ(error.description(), QStringLiteral("A IA do aparelho recusou o pedido (HTTP 500)."));
    error = failureOf(session->respond(QStringLiteral("vazio"), {}));
    EXPECT_EQ(error.description(), QStringLiteral("A IA não devolveu texto. Tente de novo."));
    error = failureOf(session->respond(QStringLiteral("estranho"), {}));
    EXPECT_EQ(error.description(), QStringLiteral("A IA do aparelho deu uma resposta inesperada."));
    EXPECT_EQ(runToEnd(session->respond(QStringLiteral("E agora?"), {})),
              QStringLiteral("segunda"));

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
    LocalModelClient::Options options = optionsFor(server.url());
    options.answerIdleTimeout = std::chrono::milliseconds(400);
    LocalModelClient client(options);
    auto session = client.openSession(QString());
    using namespace std::chrono_literals;
    server.enqueue({200, "", "", {"Um ", "resumo ", "longo ", "em ", "partes."}, 100ms});
    EXPECT_EQ(runToEnd(session->respond(QStringLiteral("resuma"), {})),
              QStringLiteral("Um resumo longo em partes."));

    server.enqueue({200, "", "", {"começa ", "e para"}, 1200ms});
    EXPECT_EQ(failureOf(session->respond(QStringLiteral("outro"), {})).description(),
              QStringLiteral("A IA do aparelho não respondeu a tempo. Tente de novo."));

    server.enqueue({200, "", "", {"nunca ", "acaba"}, 1200ms});
    CancelSource cancel;
    // Cancelled well before the silence would end it: the cancellation, not a time-out, ends it.
    QTimer::singleShot(100, [&] { cancel.cancel(); });
    EXPECT_THROW(runToEnd(session->respond(QStringLiteral("mais"), cancel.token())),
                 CancelledError);
    // Only the answered turn joined the conversation.
    EXPECT_EQ(static_cast<LocalModelSession*>(session.get())->messages().size(), 2u);
}

TEST(LocalModelSession, ChoosesAModelWhenNoneWasCheckedAndStopsWhenCancelled) {
    FakeOllamaServer server;
    server.setModels({"gemma2:2b"});
    LocalModelClient client(optionsFor(server.url()));
    auto session = client.openSession(QString());
    EXPECT_EQ(runToEnd(session->respond(QStringLiteral("oi"), {})),
              QStringLiteral("resposta local"));
    const auto body = nlohmann::json::parse(server.chatBodies().at(0));
    EXPECT_EQ(body["model"], "gemma2:2b");
    EXPECT_EQ(body["messages"].size(), 1u); // no empty system message

    CancelSource cancel;
    cancel.cancel();
    EXPECT_THROW(runToEnd(session->respond(QStringLiteral("x"), cancel.token())), CancelledError);
    EXPECT_THROW(runToEnd(client.isAvailable(cancel.token())), CancelledError);
}

} // namespace
