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

} // namespace ovra::LocalModelHttp
