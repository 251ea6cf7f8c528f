#pragma once

#include "support/cancellation.h"
#include "support/errors.h"

#include <QByteArray>
#include <QList>
#include <QNetworkReply>
#include <QPair>
#include <QUrl>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <qcoro/qcorotask.h>

class QNetworkAccessManager;

namespace ovra {

// A request failed below HTTP: no answer with a status arrived. Its description is a fixed
// Portuguese sentence chosen by kind; the network library's own text is never used, because it
// can carry the request URL (and with it a key sent in the query).
class HttpTransportError : public Error {
public:
    enum class Kind {
        noConnection,       // host not found, connection refused or dropped
        timedOut,           // no data for the transfer time-out, or past the deadline
        tlsRefused,         // the certificate or the TLS handshake was refused
        unexpectedResponse, // the answer was not HTTP, or larger than the caller allows
        other,
    };

    explicit HttpTransportError(Kind kind);
    Kind kind() const { return m_kind; }
    static QString descriptionFor(Kind kind);
    // The kind for a reply that ended with `error` and without an HTTP status; a reply aborted
    // by the transfer time-out reports itself as cancelled.
    static Kind kindFor(QNetworkReply::NetworkError error);

private:
    Kind m_kind;
};

struct HttpResponse {
    int status = 0;
    QByteArray body;
};

// A piece of an answer's body as it arrived, with what the answer said of itself.
struct HttpBodyPiece {
    int status = 0;
    QByteArray contentType; // as sent, parameters included
    QByteArrayView bytes;
};

// One request per call, over one long-lived QNetworkAccessManager on the main thread.
// Any HTTP status is a response (the caller judges it), a redirection included: a redirect is
// never followed, since it would carry the key and the user's text to another address.
// Everything else throws HttpTransportError, or CancelledError when the token was cancelled.
// TLS verification stays on. The body is capped while it arrives: at the cap the connection is
// closed, so a server cannot make the program read (or hold) more than the cap.
class HttpClient {
public:
    static constexpr std::chrono::milliseconds defaultTimeout{30'000};
    static constexpr std::chrono::milliseconds defaultDeadline{60'000};
    static constexpr qint64 defaultMaxResponseBytes = 8 * 1024 * 1024;

    struct Request {
        QUrl url;
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;
        std::chrono::milliseconds timeout =
            defaultTimeout; // transfer time-out: no data for this long
        // The whole request, connection to last byte: a server dripping a byte now and then
        // never trips the transfer time-out. None: the caller bounds the request itself.
        std::optional<std::chrono::milliseconds> deadline = defaultDeadline;
        qint64 maxResponseBytes = defaultMaxResponseBytes;
        // Called with each piece of the body as it arrives (the pieces are kept in the body all
        // the same, under the cap). Returning false ends the request at once: the connection is
        // closed and the answer so far is the response. Must not throw.
        std::function<bool(const HttpBodyPiece&)> onBodyPiece;
    };

    // Uses its own manager.
    HttpClient();
    // Uses `manager`, which must outlive this client.
    explicit HttpClient(QNetworkAccessManager& manager);
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // Only absolute http and https URLs with a host are sent; anything else is refused before
    // the network is touched.
    static bool isSendable(const QUrl& url);

    QCoro::Task<HttpResponse> post(Request request, CancelToken token = {});
    // The body of `request` is not sent.
    QCoro::Task<HttpResponse> get(Request request, CancelToken token = {});

private:
    QCoro::Task<HttpResponse> send(QByteArray verb, Request request, CancelToken token);

    std::unique_ptr<QNetworkAccessManager> m_ownManager;
    QNetworkAccessManager* m_manager;
};

} // namespace ovra
