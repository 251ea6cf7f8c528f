#include "engine_test_support.h"
#include "engines/google_translate_client.h"
#include "engines/response_decoding.h"
#include "fakes/fake_http_server.h"

#include <gtest/gtest.h>

using namespace ovra;
using namespace ovra::test;
using namespace Qt::StringLiterals;

namespace {

class GoogleTranslateClientTest : public ::testing::Test {
protected:
    EngineEnvironment env;
    FakeHttpServer server;
    GoogleTranslateClient client{env.keys, env.http, server.url()};

    QString translate(const QString& text = u"olá"_s, const QString& code = u"en"_s) {
        return runToEnd(client.translate(text, *TargetLanguage::named(code)));
    }
    GoogleTranslateError failWith(int status, std::string body) {
        server.enqueue({status, std::move(body)});
        return expectFailure<GoogleTranslateError>(
            client.translate(u"x"_s, TargetLanguage::portuguese()));
    }
};

TEST_F(GoogleTranslateClientTest,
       SendsTheDocumentedRequestWithTheKeyOnlyInItsHeaderAndTheUserKeyFirst) {
    server.enqueue(
        {200,
         R"({"data":{"translations":[{"translatedText":"  hello \n","detectedSourceLanguage":"pt"}]}})"});
    EXPECT_EQ(translate(u" olá \"mundo\"\n"_s, u"zh-CN"_s), u"hello"_s);

    const auto request = server.lastRequest();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, "/language/translate/v2");
    EXPECT_EQ(request.body, R"({"q":" olá \"mundo\"\n","target":"zh-CN","format":"text"})");
    EXPECT_EQ(request.header("Content-Type"), "application/json");
    // No stored key: the built-in one, in its header and nowhere else.
    const std::string key = builtinGoogleKey.toStdString();
    EXPECT_EQ(request.header("X-goog-api-key"), key);
    EXPECT_TRUE(request.rawQuery.empty());
    EXPECT_EQ(request.body.find(key), std::string::npos);
    int carriers = 0;
    for (const auto& [name, value] : request.headers)
        carriers += value.find(key) != std::string::npos;
    EXPECT_EQ(carriers, 1);

    // A base URL with a path and a trailing slash gives one slash; one that cannot be sent fails.
    GoogleTranslateClient prefixed{env.keys, env.http, server.url(u"/proxy/"_s)};
    server.enqueue({200, R"({"data":{"translations":[{"translatedText":"ok"}]}})"});
    runToEnd(prefixed.translate(u"a"_s, TargetLanguage::portuguese()));
    EXPECT_EQ(server.lastRequest().path, "/proxy/language/translate/v2");
    GoogleTranslateClient unsendable{env.keys, env.http, QUrl(u"file:///tmp"_s)};
    EXPECT_EQ(expectFailure<GoogleTranslateError>(
                  unsendable.translate(u"x"_s, TargetLanguage::portuguese()))
                  .description(),
              u"Resposta inesperada do Google Tradutor."_s);

    // A stored key wins over the built-in one; a broken one sends nothing.
    env.keys.writeKey(userGoogleKey, KeyStore::googleAccount);
    server.enqueue({200, R"({"data":{"translations":[{"translatedText":"ok"}]}})"});
    translate();
    EXPECT_EQ(server.lastRequest().header("X-goog-api-key"), userGoogleKey.toStdString());
    EXPECT_TRUE(server.lastRequest().rawQuery.empty()); // '+', '&' and '=' stay in the header

    // A pasted key holding a line break would add a header line of its own.
    env.keys.writeKey(u"AIza1\r\nX-Injected: 1"_s, KeyStore::googleAccount);
    EXPECT_EQ(
        expectFailure<GoogleTranslateError>(client.translate(u"x"_s, TargetLanguage::portuguese()))
            .description(),
        u"Chave inválida. Confira a chave colada."_s);
    EXPECT_EQ(server.requestCount(), 3u); // the three answered above, and nothing more
}

TEST_F(GoogleTranslateClientTest,
       OnlyTheFirstTranslationCountsBlankIsEmptyAndMalformedIsADecodingError) {
    server.enqueue(
        {200,
         R"({"data":{"translations":[{"translatedText":" first "},{"translatedText":"second"}]}})"});
    EXPECT_EQ(translate(), u"first"_s);

    for (const char* body :
         {R"({"data":{"translations":[{"translatedText":"  \n"}]}})",
          R"({"data":{"translations":[]}})",
          R"({"data":{"translations":[{"translatedText":""},{"translatedText":"late"}]}})"}) {
        EXPECT_EQ(failWith(200, body).kind(), GoogleTranslateError::Kind::emptyResponse) << body;
    }

    for (const char* body :
         {"not json", R"({"translations":[]})", R"({"data":{}})",
          R"({"data":{"translations":[{"text":"x"}]}})",
          R"({"data":{"translations":[{"translatedText":"a"},{}]}})",
          R"({"data":{"translations":[{"translatedText":"a","detectedSourceLanguage":3}]}})"}) {
        server.enqueue({200, body});
        expectFailure<ResponseDecodingError>(
            client.translate(u"x"_s, TargetLanguage::portuguese()));
    }
}

TEST_F(GoogleTranslateClientTest, ErrorBodiesGiveTheDocumentedDescriptions) {
    env.keys.writeKey(userGoogleKey, KeyStore::googleAccount);
    const std::string echoedKey = userGoogleKey.toStdString() + " at /v2?key=" +
                                  QUrl::toPercentEncoding(userGoogleKey).toStdString();
    const struct {
        const char* what;
        int status;
        std::string body;
        QString description;
    } cases[] = {
        // (Below 200 cannot be shown: from Qt 6.8 on, a 1xx is an interim answer never handed
        // over.)
        {"outside the 200s even a translation is an error", 300,
         R"({"data":{"translations":[{"translatedText":"x"}]}})",
         u"Google Tradutor respondeu com erro 300."_s},
        {"the blocked key wins over billing", 403,
         R"({"error":{"message":"Billing is not enabled","errors":[{"reason":"API_KEY_SERVICE_BLOCKED"}]}})",
         u"A chave está bloqueada para tradução. Verifique as restrições da chave no Google Cloud."_s},
        {"invalid key, whatever the case", 400,
         R"({"error":{"message":"API Key NOT valid. Please pass a valid API key."}})",
         u"Chave inválida. Confira a chave colada."_s},
        {"service not enabled", 403,
         R"({"error":{"status":"PERMISSION_DENIED","details":[{"reason":"SERVICE_DISABLED"}],"message":"billing"}})",
         u"A Cloud Translation API não está ativada no projeto da chave."_s},
        {"the service's message", 500, R"({"error":{"message":"Backend exploded"}})",
         u"Google Tradutor respondeu 500: Backend exploded"_s},
        {"not JSON", 502, "<html>Bad Gateway</html>", u"Google Tradutor respondeu com erro 502."_s},
        {"an empty message", 404, R"({"error":{"message":""}})",
         u"Google Tradutor respondeu com erro 404."_s},
        {"an echoed key, as typed or percent-encoded, is masked", 500,
         R"({"error":{"message":"bad key )" + echoedKey + R"("}})",
         u"Google Tradutor respondeu 500: bad key ••• at /v2?key=•••"_s},
        {"a reason of the wrong type makes the body undecodable", 403,
         R"({"error":{"message":"billing","errors":[{"reason":7}]}})",
         u"Google Tradutor respondeu com erro 403."_s},
    };
    for (const auto& c : cases)
        EXPECT_EQ(failWith(c.status, c.body).description(), c.description) << c.what;
    EXPECT_EQ(failWith(300, "{}").status(), 300);
}

// The rules apply in order: blocked, then not enabled, then billing, then an invalid key.
TEST(GoogleFriendlyExplanation, RulesApplyInOrderOverReasonsAndMessage) {
    const struct {
        std::optional<QString> status;
        QStringList errorReasons, detailReasons;
        std::optional<QString> message;
        const char16_t* explanation; // the start of it; none: no explanation
    } cases[] = {
        {{},
         {},
         {u"API_KEY_INVALID"_s},
         u"Requests to this API are blocked."_s,
         u"A chave está bl"},
        {{}, {}, {}, u"Project 1 has not been used in project; BILLING"_s, u"A Cloud Translation"},
        {u"BILLING_DISABLED"_s, {u"keyInvalid"_s, u"api_key_invalid"_s}, {}, {}, u"O faturamento"},
        {{}, {}, {}, u"quota exceeded"_s, nullptr},
    };
    for (const auto& c : cases) {
        GoogleTranslateClient::APIError error;
        error.status = c.status;
        error.errorReasons = c.errorReasons;
        error.detailReasons = c.detailReasons;
        error.message = c.message;
        EXPECT_EQ(GoogleTranslateClient::friendlyExplanation(error).value_or(u"-"_s).left(13),
                  c.explanation ? QString::fromUtf16(c.explanation).left(13) : u"-"_s);
    }
}

TEST(GoogleTranslateClientKeys, NoKeyAtAllIsNotConfiguredAndSendsNothing) {
    EngineEnvironment env{QString()}; // no built-in key
    env.keys.writeKey(u"   "_s, KeyStore::googleAccount);
    FakeHttpServer server;
    GoogleTranslateClient client(env.keys, env.http, server.url());
    EXPECT_FALSE(GoogleTranslateClient::resolvedAPIKey(env.keys).has_value());
    const auto error =
        expectFailure<GoogleTranslateError>(client.translate(u"x"_s, TargetLanguage::portuguese()));
    EXPECT_EQ(error.description(), u"Google Tradutor não configurado (sem chave de API)."_s);
    EXPECT_EQ(server.requestCount(), 0u);
}

} // namespace
