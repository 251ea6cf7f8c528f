#include "engine_test_support.h"
#include "engines/http_request.h"
#include "fakes/fake_http_server.h"

#include <QTest>
#include <gtest/gtest.h>

using namespace ovra;
using namespace ovra::test;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

HttpClient::Request post(const QUrl& url, QByteArray body = "{}") {
    HttpClient::Request request;
    request.url = url;
    request.headers = {{"Content-Type", "application/json"}, {"X-Extra", "1"}};
    request.body = std::move(body);
    return request;
}

HttpTransportError::Kind failureKind(QCoro::Task<HttpResponse>&& task) {
    return expectFailure<HttpTransportError>(std::move(task)).kind();
}

struct HttpClientTest : ::testing::Test {
    FakeHttpServer server;
    HttpClient http;
};

TEST_F(HttpClientTest, PostsBodyAndHeadersReturnsAnyStatusWithItsBodyAndCancels) {
    server.enqueue({201, "created"});
    server.enqueue({400, R"({"error":{}})"});
    server.enqueue({503, "busy"});

    auto response = runToEnd(http.post(post(server.url(u"/p?x=1"_s), "{\"a\":1}")));
    EXPECT_EQ(response.status, 201);
    EXPECT_EQ(response.body, QByteArray("created"));
    const auto request = server.lastRequest();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, "/p");
    EXPECT_EQ(request.rawQuery, "x=1");
    EXPECT_EQ(request.body, "{\"a\":1}");
    EXPECT_EQ(request.header("X-Extra"), "1");

    // Statuses Qt turns into its own error codes are still answers.
    EXPECT_EQ(runToEnd(http.post(post(server.url()))).status, 400);
    response = runToEnd(http.post(post(server.url())));
    EXPECT_EQ(response.status, 503);
    EXPECT_EQ(response.body, QByteArray("busy"));

    // Cancellation aborts the request, or never sends it.
    server.enqueue({200, "late", "text/plain", /*hold=*/true});
    CancelSource cancel;
    auto task = http.post(post(server.url()), cancel.token());
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.requestCount() == 4; }, 5000));
    cancel.cancel();
    expectFailure<CancelledError>(std::move(task));
    server.release();

    CancelSource already;
    already.cancel();
    expectFailure<CancelledError>(http.post(post(server.url()), already.token()));
    EXPECT_EQ(server.requestCount(), 4u);
}

TEST_F(HttpClientTest, TransportFailuresHaveKindsAndFixedTexts) {
    QUrl refused = closedLoopbackUrl();
    refused.setQuery(u"key=secret"_s);
    EXPECT_EQ(failureKind(http.post(post(refused))), HttpTransportError::Kind::noConnection);

    // Not sent at all: only absolute http(s) URLs with a host.
    for (const char* url : {"file:///etc/passwd", "ftp://h/x", "relative/path", "http:///x"})
        EXPECT_EQ(failureKind(http.post(post(QUrl(QString::fromLatin1(url))))),
                  HttpTransportError::Kind::unexpectedResponse)
            << url;

    // TLS spoken to a server that answers in plain text.
    QUrl tls = server.url();
    tls.setScheme(u"https"_s);
    const auto kind = failureKind(http.post(post(tls)));
    EXPECT_TRUE(kind == HttpTransportError::Kind::tlsRefused ||
                kind == HttpTransportError::Kind::unexpectedResponse);

    for (auto k : {HttpTransportError::Kind::noConnection, HttpTransportError::Kind::timedOut,
                   HttpTransportError::Kind::tlsRefused, HttpTransportError::Kind::other}) {
        expectNoSecrets(HttpTransportError::descriptionFor(k));
        EXPECT_FALSE(HttpTransportError::descriptionFor(k).contains(u"http"));
    }
    EXPECT_EQ(HttpTransportError::kindFor(QNetworkReply::SslHandshakeFailedError),
              HttpTransportError::Kind::tlsRefused);
    EXPECT_EQ(HttpTransportError::kindFor(QNetworkReply::HostNotFoundError),
              HttpTransportError::Kind::noConnection);
    EXPECT_EQ(HttpTransportError::kindFor(QNetworkReply::OperationCanceledError),
              HttpTransportError::Kind::timedOut);
}

// Every redirection is an answer with its status: nothing goes to the address it names, neither
// the headers (the key) nor the body (the user's text).
struct HttpRedirects : HttpClientTest, ::testing::WithParamInterface<int> {};

TEST_P(HttpRedirects, AreNeverFollowed) {
    FakeHttpServer otherHost;
    const std::string target = otherHost.url(u"/steal?key=k"_s).toString().toStdString();
    const FakeHttpServer::Response redirect{
        GetParam(), "moved", "text/plain", false, {{"Location", target}}};
    server.enqueue(redirect);
    server.enqueue(redirect);

    auto request = post(server.url(u"/p?key=k"_s), "{\"text\":\"secret\"}");
    request.headers.append(qMakePair(QByteArray("Authorization"), QByteArray("Bearer k")));
    EXPECT_EQ(runToEnd(http.post(request)).status, GetParam());
    EXPECT_EQ(runToEnd(http.get(request)).status, GetParam());
    EXPECT_EQ(server.requestCount(), 2u);
    EXPECT_EQ(server.lastRequest().method, "GET");
    EXPECT_EQ(otherHost.requestCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(EveryCode, HttpRedirects,
                         ::testing::Values(300, 301, 302, 303, 304, 305, 307, 308));

TEST_F(HttpClientTest, AnEndlessBodyIsCutAtTheCapAndTheConnectionClosed) {
    server.enqueue({200, std::string(1024, 'y')});
    server.enqueue({200, "", "application/json", false, {}, FakeHttpServer::Stream::endless});
    auto request = post(server.url());
    request.maxResponseBytes = 1024;
    EXPECT_EQ(runToEnd(http.post(request)).body.size(), 1024); // exactly the cap is fine
    request.maxResponseBytes = 1024 * 1024;
    EXPECT_EQ(failureKind(http.post(request)), HttpTransportError::Kind::unexpectedResponse);
    // The server notices the hang-up: the stream ends instead of going on, long before the
    // server's own limit (what it sent beyond the cap sat in the sockets' buffers).
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.streamsEnded(); }, 10'000));
    EXPECT_LT(server.streamedBytes(), FakeHttpServer::streamBudget / 4);
}

TEST_F(HttpClientTest, ADrippingServerEndsAtTheWholeRequestDeadline) {
    server.enqueue({200, "", "application/json", false, {}, FakeHttpServer::Stream::drip, 20ms});
    auto request = post(server.url());
    request.deadline = std::chrono::milliseconds(300); // the transfer time-out never trips
    EXPECT_EQ(failureKind(http.post(request)), HttpTransportError::Kind::timedOut);
    EXPECT_GT(server.streamedBytes(), 0u);
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.streamsEnded(); }, 10'000));
    EXPECT_EQ(HttpClient::Request().deadline, std::chrono::milliseconds(60'000));
}

// The body handed over piece by piece keeps every limit of a whole one.
TEST_F(HttpClientTest, PiecesArriveAsTheyComeUnderTheSameLimits) {
    FakeHttpServer::Response pieces{
        200, "", "text/event-stream", false, {}, FakeHttpServer::Stream::pieces, 40ms};
    pieces.pieces = {"a", "bc", "d"};
    server.enqueue(pieces);
    auto request = post(server.url());
    QByteArrayList seen;
    request.onBodyPiece = [&](const HttpBodyPiece& piece) {
        EXPECT_EQ(piece.status, 200);
        EXPECT_EQ(piece.contentType, "text/event-stream");
        seen.append(piece.bytes.toByteArray());
        return true;
    };
    EXPECT_EQ(runToEnd(http.post(request)).body, "abcd");
    EXPECT_EQ(seen, QByteArrayList({"a", "bc", "d"}));

    // Silence ends the stream; the pieces before it were delivered.
    seen.clear();
    pieces.dripInterval = 1s;
    server.enqueue(pieces);
    request.timeout = 300ms;
    EXPECT_EQ(failureKind(http.post(request)), HttpTransportError::Kind::timedOut);
    EXPECT_EQ(seen, QByteArrayList({"a"}));

    // The reader may stop an endless answer: the connection is closed.
    const FakeHttpServer::Response endless{200,   "", "text/event-stream",
                                           false, {}, FakeHttpServer::Stream::endless};
    server.enqueue(endless);
    request.onBodyPiece = [](const HttpBodyPiece&) { return false; };
    const HttpResponse stopped = runToEnd(http.post(request));
    EXPECT_EQ(stopped.status, 200);
    EXPECT_FALSE(stopped.body.isEmpty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.streamsEnded(); }, 10'000));

    // Every byte delivered counts towards the cap.
    server.enqueue(endless);
    qint64 delivered = 0;
    request.maxResponseBytes = 1024 * 1024;
    request.onBodyPiece = [&](const HttpBodyPiece& piece) {
        delivered += piece.bytes.size();
        return true;
    };
    EXPECT_EQ(failureKind(http.post(request)), HttpTransportError::Kind::unexpectedResponse);
    EXPECT_LE(delivered, request.maxResponseBytes);
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.streamsEnded(); }, 10'000));
}

} // namespace
