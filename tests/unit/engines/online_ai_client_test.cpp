#include "engine_test_support.h"
#include "engines/online_ai_client.h"
#include "engines/response_decoding.h"
#include "fakes/fake_http_server.h"

#include <gtest/gtest.h>

using namespace ovra;
using namespace ovra::test;
using namespace Qt::StringLiterals;

namespace {

const char* reply(const char* content) {
    static std::string body;
    body =
        std::string(R"({"id":"x","choices":[{"index":0,"message":{"role":"assistant","content":)") +
        content + "}}]}";
    return body.c_str();
}

class OnlineAIClientTest : public ::testing::Test {
protected:
    OnlineAIClientTest() {
        env.prefs.setAIProvider(AIProvider::custom);
        env.prefs.setBaseURL(AIProvider::custom, server.url(u"/api/v1"_s).toString());
        env.prefs.setModel(AIProvider::custom, u"some/model"_s);
        env.setAIKey(AIProvider::custom, aiKey);
    }
    OnlineAIError failWith(int status, std::string body) {
        server.enqueue({status, std::move(body)});
        return expectFailure<OnlineAIError>(client.reformulate(u"x"_s));
    }

    EngineEnvironment env;
    FakeHttpServer server;
    OnlineAIClient client{env.prefs, env.keys, env.http};
};

TEST_F(OnlineAIClientTest, TheDocumentedRequestsStatusesAndBaseURLs) {
    server.enqueue({200, reply(R"("\n  Hallo Welt  \n")")});
    const QString result =
        runToEnd(client.translate(u"Olá\nmundo"_s, *TargetLanguage::named(u"de")));
    EXPECT_EQ(result, u"Hallo Welt"_s);

    const auto request = server.lastRequest();
    EXPECT_EQ(request.path, "/api/v1/chat/completions");
    EXPECT_TRUE(request.rawQuery.empty());
    EXPECT_EQ(request.header("Authorization"), "Bearer " + aiKey.toStdString());
    EXPECT_EQ(request.header("Content-Type"), "application/json");
    EXPECT_EQ(
        request.body,
        R"({"model":"some/model","messages":[{"role":"system","content":"You are a professional )"
        R"(translator. Detect the source language of the user's text automatically and translate )"
        R"(it into German. Preserve the tone, formatting and line breaks. Reply with the )"
        R"(translation only, with no explanations or quotes."},{"role":"user","content":"Olá\nmundo"}],)"
        R"("temperature":0.3,"stream":true})");

    server.enqueue({200, reply(R"("ok")")});
    runToEnd(client.reformulate(u" texto "_s));
    EXPECT_NE(
        server.lastRequest().body.find(
            R"({"role":"system","content":"Reescreva o texto do usuário com clareza e naturalidade, )"
            R"(mantendo o idioma original e o sentido. Responda só com o texto final reescrito, )"
            R"(sem explicações, aspas ou comentários."},{"role":"user","content":" texto "}])"),
        std::string::npos);

    server.enqueue({200, reply(R"("ok")")});
    runToEnd(client.complete({{u"system"_s, u"s"_s}, {u"user"_s, u"q1"_s}, {u"tool"_s, u"t"_s}}));
    EXPECT_NE(
        server.lastRequest().body.find(
            R"("messages":[{"role":"system","content":"s"},{"role":"user","content":"q1"},{"role":"tool","content":"t"}])"),
        std::string::npos);

    // Statuses and error bodies.
    EXPECT_EQ(failWith(401, R"({"error":{"message":"Invalid token","type":"auth"}})").description(),
              u"IA online respondeu 401: Invalid token"_s);
    EXPECT_EQ(failWith(429, "Too Many Requests").description(),
              u"IA online respondeu com erro 429."_s);
    EXPECT_EQ(failWith(404, R"({"error":{"message":""}})").description(),
              u"IA online respondeu com erro 404."_s);
    EXPECT_EQ(failWith(300, reply(R"("fine")")).status(), 300);
    // A key echoed by the service is masked.
    const auto echoed =
        failWith(401, R"({"error":{"message":"bad key )" + aiKey.toStdString() + R"("}})");
    EXPECT_EQ(echoed.description(), u"IA online respondeu 401: bad key •••"_s);

    // The base URL may come with slashes and spaces; a rejected one or a missing key sends nothing.
    EXPECT_EQ(OnlineAIClient::chatCompletionsUrl(u"  https://h.example/v1/ \n"_s)->toString(),
              u"https://h.example/v1/chat/completions"_s);
    EXPECT_EQ(OnlineAIClient::chatCompletionsUrl(u"https://h.example/v1"_s)->toString(),
              u"https://h.example/v1/chat/completions"_s);
    EXPECT_EQ(OnlineAIClient::chatCompletionsUrl(u"https://h.example/v1//"_s)->path(),
              u"/v1//chat/completions"_s);
    for (const char16_t* bad : {u"", u"not a url", u"http:///", u"file:///etc", u"ftp://h/x"})
        EXPECT_FALSE(OnlineAIClient::chatCompletionsUrl(QString::fromUtf16(bad)).has_value())
            << QString::fromUtf16(bad).toStdString();

    env.prefs.setBaseURL(AIProvider::custom, u"  "_s + server.url(u"/v1/"_s).toString() + u"\n"_s);
    server.enqueue({200, reply(R"("ok")")});
    runToEnd(client.reformulate(u"x"_s));
    EXPECT_EQ(server.lastRequest().path, "/v1/chat/completions");

    // A rejected address or a missing key sends nothing.
    env.prefs.setBaseURL(AIProvider::custom, u"::not a url::"_s);
    EXPECT_EQ(expectFailure<OnlineAIError>(client.reformulate(u"x"_s)).description(),
              u"Resposta inesperada da IA online."_s);
    env.prefs.setBaseURL(AIProvider::custom, server.url().toString());
    env.prefs.setAIProvider(AIProvider::anthropic); // no key stored for it
    EXPECT_EQ(expectFailure<OnlineAIError>(client.reformulate(u"x"_s)).description(),
              u"IA online não configurada (sem chave de API)."_s);
    EXPECT_EQ(server.requestCount(), 9u); // the nine answered above, and nothing more
}

TEST_F(OnlineAIClientTest,
       TheFirstChoiceAnswersEmptyMalformedOrTooDeepOnesFailAndLargeOnesAreReadWhole) {
    server.enqueue(
        {200, R"({"choices":[{"message":{"content":" one "}},{"message":{"content":"two"}}]})"});
    EXPECT_EQ(runToEnd(client.reformulate(u"x"_s)), u"one"_s);
    // A null content in the first choice is empty even when a later choice has text.
    EXPECT_EQ(
        failWith(200,
                 R"({"choices":[{"message":{"content":null}},{"message":{"content":"late"}}]})")
            .kind(),
        OnlineAIError::Kind::emptyResponse);
    EXPECT_EQ(failWith(200, R"({"choices":[{"message":{}}]})").kind(),
              OnlineAIError::Kind::emptyResponse);
    EXPECT_EQ(failWith(200, R"({"choices":[]})").kind(), OnlineAIError::Kind::emptyResponse);
    EXPECT_EQ(failWith(200, reply(R"(" \n\t ")")).description(),
              u"A IA online devolveu uma resposta vazia."_s);

    for (const char* body : {"<html/>", R"({"choices":{}})", R"({"choices":[{"text":"x"}]})",
                             R"({"choices":[{"message":{"content":5}}]})"}) {
        server.enqueue({200, body});
        expectFailure<ResponseDecodingError>(client.reformulate(u"x"_s));
    }

    // Deeper than the parser allows, in an answer and in an error: malformed, never a crash.
    const std::string deep = std::string(200'000, '[') + std::string(200'000, ']');
    server.enqueue({200, R"({"choices":[{"message":{"content":"x","extra":)" + deep + "}}]}"});
    expectFailure<ResponseDecodingError>(client.reformulate(u"x"_s));
    EXPECT_EQ(failWith(500, R"({"error":{"message":"m","x":)" + deep + "}}").description(),
              u"IA online respondeu com erro 500."_s);

    // A large answer is parsed off the interface thread and still read whole.
    const std::string longText(3 * ResponseDecoding::inlineParseBytes, 'a');
    server.enqueue({200, reply(("\"" + longText + "\"").c_str())});
    EXPECT_EQ(runToEnd(client.reformulate(u"x"_s)).size(), qsizetype(longText.size()));
    server.enqueue({200, std::string(2 * ResponseDecoding::inlineParseBytes, '[')});
    expectFailure<ResponseDecodingError>(client.reformulate(u"x"_s));
}

// An answer sent as server-sent events, each piece shown as it comes.
TEST_F(OnlineAIClientTest, StreamedAnswersArriveInPieces) {
    const auto chunk = [](const char* content, const char* extra = "") {
        return std::string(R"(data: {"choices":[{"index":0,"delta":{"content":)") + content + "}" +
               extra + "}]}\n\n";
    };
    const std::string done = "data: [DONE]\n\n";
    const std::string role = R"(data: {"choices":[{"delta":{"role":"assistant"}}]})"
                             "\r\n\r\n";
    const struct {
        std::vector<std::string> pieces;
        std::vector<std::string> shown;
        const char* result; // none: the answer fails with `failure`
        OnlineAIError::Kind failure = OnlineAIError::Kind::invalidResponse;
    } cases[] = {
        {{role, ": keep-alive\n\n", chunk(R"(" Ol")"), chunk(R"("á")"), chunk(R"(" mundo")"), done},
         {"Ol", "Olá", "Olá mundo"},
         "Olá mundo"},
        {{chunk(R"("a")"), chunk(R"("b")", R"(,"finish_reason":"stop")")}, {"a", "ab"}, "ab"},
        // Cut off after a piece, with no end: what was shown is not the whole answer.
        {{chunk(R"("a")")}, {"a"}, nullptr},
        {{chunk(R"("a")"),
          R"(data: {"error":{"message":"overloaded"}})"
          "\n\n",
          chunk(R"("never")")},
         {"a"},
         nullptr,
         OnlineAIError::Kind::http},
        {{"data: <html>\n\n"}, {}, nullptr},
        {{chunk(R"("  ")"), done}, {}, nullptr, OnlineAIError::Kind::emptyResponse},
    };
    for (const auto& testCase : cases) {
        FakeHttpServer::Response response{200,   "", "text/event-stream",
                                          false, {}, FakeHttpServer::Stream::pieces};
        response.dripInterval = std::chrono::milliseconds(5);
        response.pieces = testCase.pieces;
        server.enqueue(response);
        std::vector<std::string> shown;
        auto task = client.reformulate(
            u"x"_s, {}, [&](const QString& text) { shown.push_back(text.toStdString()); });
        if (!testCase.result)
            EXPECT_EQ(expectFailure<OnlineAIError>(std::move(task)).kind(), testCase.failure);
        else
            EXPECT_EQ(runToEnd(std::move(task)), QString::fromUtf8(testCase.result));
        EXPECT_EQ(shown, testCase.shown) << testCase.pieces.front();
    }
    server.enqueue({200,
                    R"(data: {"error":{"message":"bad key )" + aiKey.toStdString() +
                        R"("}})"
                        "\n\n",
                    "text/event-stream"});
    EXPECT_EQ(expectFailure<OnlineAIError>(client.reformulate(u"x"_s)).description(),
              u"IA online respondeu 200: bad key •••"_s);
}

} // namespace
