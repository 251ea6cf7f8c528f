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
} // namespace LocalModelHttp

} // namespace ovra
