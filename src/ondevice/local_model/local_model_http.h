#pragma once

#include "engines/http_request.h"

#include <QNetworkAccessManager>
#include <chrono>

namespace ovra {

// A GET for the local model server, under the shared client's rules (no redirects, any HTTP
// status is a response, transport failures throw HttpTransportError, a cancelled token throws
// CancelledError). `timeout` bounds the whole request, connection included; the body is capped
// at 1 MiB while it arrives.
namespace LocalModelHttp {
QCoro::Task<HttpResponse> get(QNetworkAccessManager& manager, QUrl url,
                              std::chrono::milliseconds timeout, CancelToken token = {});

// Bounds of a streamed answer: a model may take minutes over a long text, so silence ends it,
// not length; the whole request still has a ceiling.
struct StreamLimits {
    std::chrono::milliseconds idleTimeout{60'000}; // without a new byte
    std::chrono::milliseconds wholeTimeout{600'000};
    qint64 maxBytes = 8 * 1024 * 1024;
};

// A JSON POST whose answer arrives in pieces (newline-delimited JSON); the pieces are collected
// into one body. Same rules as get(); no redirects are followed.
QCoro::Task<HttpResponse> postStreamed(QNetworkAccessManager& manager, QUrl url, QByteArray body,
                                       StreamLimits limits, CancelToken token = {});
} // namespace LocalModelHttp

} // namespace ovra
