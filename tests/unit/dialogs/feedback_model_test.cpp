#include "dialogs/feedback_model.h"
#include "fakes/fake_http_server.h"
#include "support/settings_fixture.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace ovra;
using namespace Qt::StringLiterals;
using State = FeedbackModel::SendState;

namespace {

// A feedback endpoint on loopback answering every POST with a fixed status.
struct FeedbackServer : test::FakeHttpServer {
    explicit FeedbackServer(int status) { setDefault({status, {}, "text/plain"}); }
    QString baseURL() const { return url().toString(QUrl::StripTrailingSlash); }
};

void waitWhileSending(FeedbackModel& model) {
    QSignalSpy spy(&model, &FeedbackModel::changed);
    while (model.state() == State::sending)
        ASSERT_TRUE(spy.wait(10'000));
}

} // namespace

TEST(FeedbackModel, SuccessPostsTheTrimmedPayloadInOrderAndClearsTheMessage) {
    test::TempSettings s;
    s.prefs.setUserName(u"Ana"_s);
    FeedbackServer server(204);
    FeedbackModel model(s.prefs, server.baseURL(), u"1.2.3"_s);
    EXPECT_EQ(model.name(), u"Ana"_s);
    model.setName(u"  Ana Lima \n"_s);
    model.setMessage(u"\n O painel sumiu. "_s);
    model.send();
    EXPECT_EQ(model.state(), State::sending);
    EXPECT_FALSE(model.canSend());
    model.send(); // a second send while one is in flight does nothing
    waitWhileSending(model);

    EXPECT_EQ(model.state(), State::sent);
    EXPECT_TRUE(model.message().isEmpty());
    EXPECT_EQ(model.name(), u"  Ana Lima \n"_s);
    ASSERT_EQ(server.requestCount(), 1u);
    const auto request = server.lastRequest();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, "/ovra-feedback");
    EXPECT_EQ(request.body,
              R"({"name":"Ana Lima","email":"","message":"O painel sumiu.","app":"Ovra",)"
              R"("version":"1.2.3","platform":"Linux","website":""})");
    EXPECT_EQ(request.header("Content-Type"), "application/json");

    // The thank-you line gives way as soon as the user writes again.
    model.setMessage(u"Mais uma coisa"_s);
    EXPECT_EQ(model.state(), State::idle);
}

// A server error, no server at all and no feedback host: each keeps what was written and says so.
TEST(FeedbackModel, AFailedSendKeepsEverythingAndSaysWhy) {
    const QString unavailable =
        u"Não foi possível enviar agora. Sua mensagem ficou guardada aqui — "
        "tente de novo."_s;
    FeedbackServer failing(500);
    QString unreachable;
    {
        FeedbackServer gone(204);
        unreachable = gone.baseURL();
    }
    for (const auto& [base, reason] :
         {std::pair{failing.baseURL(), unavailable}, std::pair{unreachable, unavailable},
          std::pair{QString(), u"não está configurado"_s}}) {
        SCOPED_TRACE(base.toStdString());
        test::TempSettings s;
        FeedbackModel model(s.prefs, base);
        model.setEmail(u"rui@example.org"_s);
        model.setMessage(u"Falhou"_s);
        model.send();
        waitWhileSending(model);
        EXPECT_EQ(model.state(), State::failed);
        EXPECT_TRUE(model.failureText().contains(reason)) << model.failureText().toStdString();
        EXPECT_EQ(model.message(), u"Falhou"_s);
        EXPECT_EQ(model.email(), u"rui@example.org"_s);
        EXPECT_TRUE(model.canSend()); // another try is possible
    }
    EXPECT_EQ(failing.requestCount(), 1u);
}

TEST(FeedbackModel, BlankMessagesCannotBeSentAndReloadRefillsOnlyAnEmptyName) {
    test::TempSettings s;
    FeedbackModel model(s.prefs, u"http://127.0.0.1:9"_s, QString());
    EXPECT_EQ(model.appVersion(), u"?"_s);
    EXPECT_EQ(model.payload().version, u"?"_s);
    model.setMessage(u" \n\t "_s);
    EXPECT_FALSE(model.canSend());
    model.send();
    EXPECT_EQ(model.state(), State::idle);

    // Reloading refills only an empty name.
    EXPECT_TRUE(model.name().isEmpty());
    s.prefs.setUserName(u"Bia"_s);
    model.setName(u"Outro"_s);
    model.reload();
    EXPECT_EQ(model.name(), u"Outro"_s);
    model.setName(u"   "_s);
    model.reload();
    EXPECT_EQ(model.name(), u"Bia"_s);
}

TEST(FeedbackModel, DestroyingTheModelWhileSendingIsSafe) {
    test::TempSettings s;
    FeedbackServer server(204);
    auto model = std::make_unique<FeedbackModel>(s.prefs, server.baseURL());
    model->setMessage(u"Oi"_s);
    model->send();
    model.reset(); // the request is aborted; nothing touches the gone model
    QCoreApplication::processEvents();
    SUCCEED();
}
