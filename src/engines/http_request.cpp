#include "engines/http_request.h"

#include "support/logging.h"

#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QSslCipher>
#include <QSslConfiguration>
#include <QTimer>
#include <qcoro/qcoronetworkreply.h>

OVRA_LOGGING_CATEGORY("ovra.engines");

namespace ovra {

namespace {

struct DeleteLater {
    void operator()(QObject* object) const { object->deleteLater(); }
};

// Failures of the connection itself, reported even when a status line had already arrived: the
// body that came with it is incomplete. Codes that Qt derives from an HTTP status (400 gives
// ProtocolInvalidOperationError, 407 a proxy code) are answers, not transport failures.
bool isTransportLevel(QNetworkReply::NetworkError error) {
    const int code = static_cast<int>(error);
    return (code >= 1 && code <= 99) || error == QNetworkReply::ProtocolFailure;
}

// How much of an answer may wait, received but unread, in the reply; reads take it all at once,
// so this bounds memory, not speed.
constexpr qint64 readBufferBytes = 256 * 1024;

struct ReadState {
    QByteArray body;
    bool tooLarge = false;
    bool pastDeadline = false;
    bool stoppedByReader = false;
};

} // namespace

HttpTransportError::HttpTransportError(Kind kind) : Error(descriptionFor(kind)), m_kind(kind) {}

QString HttpTransportError::descriptionFor(Kind kind) {
    switch (kind) {
    case Kind::noConnection:
        return QStringLiteral("Sem conexão com o serviço. Verifique a internet e tente de novo.");
    case Kind::timedOut:
        return QStringLiteral("O serviço não respondeu a tempo. Tente de novo.");
    case Kind::tlsRefused:
        return QStringLiteral("Conexão segura recusada: o certificado do serviço não é válido.");
    case Kind::unexpectedResponse:
        return QStringLiteral("Resposta inesperada do serviço.");
    case Kind::other:
        break;
    }
    return QStringLiteral("Falha de rede ao falar com o serviço.");
}

HttpTransportError::Kind HttpTransportError::kindFor(QNetworkReply::NetworkError error) {
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyNotFoundError:
        return Kind::noConnection;
    case QNetworkReply::TimeoutError:
    case QNetworkReply::ProxyTimeoutError:
    case QNetworkReply::OperationCanceledError: // the transfer time-out aborts the reply
        return Kind::timedOut;
    case QNetworkReply::SslHandshakeFailedError:
        return Kind::tlsRefused;
    case QNetworkReply::ProtocolUnknownError:
    case QNetworkReply::ProtocolFailure:
        return Kind::unexpectedResponse;
    default:
        return Kind::other;
    }
}

HttpClient::HttpClient()
    : m_ownManager(std::make_unique<QNetworkAccessManager>()), m_manager(m_ownManager.get()) {}

HttpClient::HttpClient(QNetworkAccessManager& manager) : m_manager(&manager) {}

HttpClient::~HttpClient() = default;

bool HttpClient::isSendable(const QUrl& url) {
    const QString scheme = url.scheme();
    return url.isValid() && (scheme == u"https" || scheme == u"http") && !url.host().isEmpty();
}

QCoro::Task<HttpResponse> HttpClient::post(Request request, CancelToken token) {
    return send(QByteArrayLiteral("POST"), std::move(request), std::move(token));
}

QCoro::Task<HttpResponse> HttpClient::get(Request request, CancelToken token) {
    request.body.clear();
    return send(QByteArrayLiteral("GET"), std::move(request), std::move(token));
}

QCoro::Task<HttpResponse> HttpClient::send(QByteArray verb, Request request, CancelToken token) {
    token.throwIfCancelled();
    if (!isSendable(request.url))
        throw HttpTransportError(HttpTransportError::Kind::unexpectedResponse);

    QNetworkRequest networkRequest(request.url);
    networkRequest.setTransferTimeout(static_cast<int>(request.timeout.count()));
    networkRequest.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                                QNetworkRequest::ManualRedirectPolicy);
    for (const auto& [name, value] : std::as_const(request.headers))
        networkRequest.setRawHeader(name, value);
    // The default TLS configuration verifies the peer; nothing here relaxes it.

    std::unique_ptr<QNetworkReply, DeleteLater> reply(
        verb == "GET" ? m_manager->get(networkRequest)
                      : m_manager->sendCustomRequest(networkRequest, verb, request.body));
    QNetworkReply* raw = reply.get();
    // Qt's network thread hands the body over in pieces, and while more pieces are queued the
    // reply keeps them without signalling readyRead. A server flooding a fast link (loopback)
    // keeps that queue full: readyRead comes late or never, the cap is not checked and the reply
    // grows by hundreds of megabytes a second. A read buffer limit makes the network thread wait
    // until the pieces are read, so the body arrives in bounded steps and the cap holds. A
    // request with a body starts on the next turn of the event loop, and a limit set before that
    // never reaches the network thread: it is set again once the request is under way.
    raw->setReadBufferSize(readBufferBytes);
    QMetaObject::invokeMethod(
        raw, [raw] { raw->setReadBufferSize(readBufferBytes); }, Qt::QueuedConnection);
    auto state = std::make_shared<ReadState>();
    const qint64 cap = request.maxResponseBytes;

    // Refuse an answer that announces, or reaches, more than the cap, before it fills memory.
    QObject::connect(raw, &QNetworkReply::metaDataChanged, raw, [raw, state, cap] {
        const QVariant length = raw->header(QNetworkRequest::ContentLengthHeader);
        if (!state->tooLarge && length.isValid() && length.toLongLong() > cap) {
            state->tooLarge = true;
            raw->abort();
        }
    });
    // Never more than one byte past the cap: that byte is what proves the answer too long.
    // Every byte read counts, whether the caller takes the pieces as they come or not.
    const auto take = [raw, state, cap, onPiece = std::move(request.onBodyPiece)] {
        const qsizetype before = state->body.size();
        state->body += raw->read(cap + 1 - before);
        if (state->body.size() > cap) {
            state->tooLarge = true;
            state->body = QByteArray();
            raw->abort();
            return;
        }
        if (!onPiece || state->body.size() == before)
            return;
        const HttpBodyPiece piece{raw->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                                  raw->rawHeader(QByteArrayLiteral("Content-Type")),
                                  QByteArrayView(state->body).sliced(before)};
        if (!onPiece(piece)) {
            state->stoppedByReader = true;
            raw->abort();
        }
    };
    QObject::connect(raw, &QIODevice::readyRead, raw, [state, take] {
        if (state->tooLarge || state->pastDeadline || state->stoppedByReader)
            return;
        take();
    });
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, raw, [raw, state] {
        state->pastDeadline = true;
        raw->abort();
    });
    if (request.deadline)
        deadline.start(*request.deadline);
    auto subscription = token.onCancel([raw] { raw->abort(); });

    co_await raw;
    subscription.reset();
    deadline.stop();

    if (token.isCancelled())
        throw CancelledError();
    if (state->tooLarge)
        throw HttpTransportError(HttpTransportError::Kind::unexpectedResponse);
    if (state->pastDeadline)
        throw HttpTransportError(HttpTransportError::Kind::timedOut);
    if (state->stoppedByReader)
        co_return HttpResponse{raw->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                               std::move(state->body)};
    if (raw->isOpen())
        take();
    if (state->tooLarge)
        throw HttpTransportError(HttpTransportError::Kind::unexpectedResponse);
    if (state->stoppedByReader)
        co_return HttpResponse{raw->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                               std::move(state->body)};

    const QNetworkReply::NetworkError error = raw->error();
    const QVariant status = raw->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    // Host and path only: a query may carry a key.
    qCInfo(lc) << "POST" << request.url.host() + request.url.path() << "status" << status.toInt()
               << "network error" << int(error);
    if (!isTransportLevel(error) && status.isValid())
        co_return HttpResponse{status.toInt(), std::move(state->body)};
    if (error == QNetworkReply::NoError)
        throw HttpTransportError(HttpTransportError::Kind::unexpectedResponse);
    // A peer that hangs up before a TLS session stands refused the handshake: some servers (and
    // a plain-text one that awaits a request line) close instead of answering with an alert.
    if (error == QNetworkReply::RemoteHostClosedError && request.url.scheme() == u"https" &&
        raw->sslConfiguration().sessionCipher().isNull())
        throw HttpTransportError(HttpTransportError::Kind::tlsRefused);
    throw HttpTransportError(HttpTransportError::kindFor(error));
}

} // namespace ovra
