#include "engines/local_model/local_model_http.h"

#include <QNetworkRequest>
#include <QTimer>
#include <qcoro/qcoronetworkreply.h>

namespace ovra::LocalModelHttp {

namespace {
constexpr qint64 maxResponseBytes = 1024 * 1024;

struct DeleteLater {
    void operator()(QObject* object) const { object->deleteLater(); }
};
} // namespace

QCoro::Task<HttpResponse> get(QNetworkAccessManager& manager, QUrl url,
                              std::chrono::milliseconds timeout, CancelToken token) {
    token.throwIfCancelled();
    if (!HttpClient::isSendable(url))
        throw HttpTransportError(HttpTransportError::Kind::unexpectedResponse);

    QNetworkRequest request(url);
    std::unique_ptr<QNetworkReply, DeleteLater> reply(manager.get(request));
    QNetworkReply* raw = reply.get();
    // A whole-request deadline, unlike the transfer time-out, which restarts with every byte.
    auto timedOut = std::make_shared<bool>(false);
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, raw, [raw, timedOut] {
        *timedOut = true;
        raw->abort();
    });
    deadline.start(timeout);
    auto subscription = token.onCancel([raw] { raw->abort(); });

    co_await raw;
    subscription.reset();
    deadline.stop();

    if (token.isCancelled())
        throw CancelledError();
    if (*timedOut)
        throw HttpTransportError(HttpTransportError::Kind::timedOut);
    const QByteArray body = raw->read(maxResponseBytes + 1);
    if (body.size() > maxResponseBytes)
        throw HttpTransportError(HttpTransportError::Kind::unexpectedResponse);
    const QVariant status = raw->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid())
        co_return HttpResponse{status.toInt(), body};
    throw HttpTransportError(HttpTransportError::kindFor(raw->error()));
}

QCoro::Task<HttpResponse> postStreamed(QNetworkAccessManager& manager, QUrl url, QByteArray body,
                                       StreamLimits limits, CancelToken token) {
    token.throwIfCancelled();
    if (!HttpClient::isSendable(url))
        throw HttpTransportError(HttpTransportError::Kind::unexpectedResponse);

    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    std::unique_ptr<QNetworkReply, DeleteLater> reply(manager.post(request, body));
    QNetworkReply* raw = reply.get();

    struct State {
        QByteArray body;
        bool timedOut = false;
        bool tooLarge = false;
    };
    auto state = std::make_shared<State>();
    const auto stopAsTimedOut = [raw, state] {
        state->timedOut = true;
        raw->abort();
    };
    QTimer idle;
    idle.setSingleShot(true);
    QObject::connect(&idle, &QTimer::timeout, raw, stopAsTimedOut);
    QTimer whole;
    whole.setSingleShot(true);
    QObject::connect(&whole, &QTimer::timeout, raw, stopAsTimedOut);
    // Every piece restarts the silence; the body is capped while it arrives.
    QObject::connect(raw, &QIODevice::readyRead, &idle, [raw, state, &idle, limits] {
        idle.start(limits.idleTimeout);
        state->body += raw->readAll();
        if (state->body.size() > limits.maxBytes) {
            state->tooLarge = true;
            state->body.clear();
            raw->abort();
        }
    });
    idle.start(limits.idleTimeout);
    whole.start(limits.wholeTimeout);
    auto subscription = token.onCancel([raw] { raw->abort(); });

    co_await raw;
    subscription.reset();
    idle.stop();
    whole.stop();

    if (token.isCancelled())
        throw CancelledError();
    if (state->timedOut)
        throw HttpTransportError(HttpTransportError::Kind::timedOut);
    if (state->tooLarge)
        throw HttpTransportError(HttpTransportError::Kind::unexpectedResponse);
    state->body += raw->readAll();
    if (state->body.size() > limits.maxBytes)
        throw HttpTransportError(HttpTransportError::Kind::unexpectedResponse);
    const QVariant status = raw->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid())
        co_return HttpResponse{status.toInt(), std::move(state->body)};
    throw HttpTransportError(HttpTransportError::kindFor(raw->error()));
}

} // namespace ovra::LocalModelHttp
