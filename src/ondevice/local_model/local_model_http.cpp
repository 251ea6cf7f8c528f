#include "ondevice/local_model/local_model_http.h"

namespace ovra::LocalModelHttp {

namespace {
// A list of installed models is small; a server sending more is not one to believe.
constexpr qint64 maxResponseBytes = 1024 * 1024;
} // namespace

QCoro::Task<HttpResponse> get(QNetworkAccessManager& manager, QUrl url,
                              std::chrono::milliseconds timeout, CancelToken token) {
    HttpClient http(manager);
    HttpClient::Request request;
    request.url = std::move(url);
    request.timeout = timeout;
    request.deadline = timeout;
    request.maxResponseBytes = maxResponseBytes;
    co_return co_await http.get(std::move(request), std::move(token));
}

QCoro::Task<HttpResponse> postStreamed(QNetworkAccessManager& manager, QUrl url, QByteArray body,
                                       StreamLimits limits, CancelToken token) {
    // The shared client's transfer time-out restarts with every piece, which is exactly the
    // silence that should end a streamed answer; its deadline is the ceiling.
    HttpClient http(manager);
    HttpClient::Request request;
    request.url = std::move(url);
    request.headers = {{QByteArrayLiteral("Content-Type"), QByteArrayLiteral("application/json")}};
    request.body = std::move(body);
    request.timeout = limits.idleTimeout;
    request.deadline = limits.wholeTimeout;
    request.maxResponseBytes = limits.maxBytes;
    co_return co_await http.post(std::move(request), std::move(token));
}

} // namespace ovra::LocalModelHttp
