#pragma once

#include "engines/http_request.h"

#include <QNetworkAccessManager>
#include <chrono>

namespace ovra {

// A GET for the local model server (the shared HTTP client only posts). Same rules: any HTTP
// status is a response; transport failures throw HttpTransportError; a cancelled token throws
// CancelledError. `timeout` bounds the whole request, connection included.
namespace LocalModelHttp {
QCoro::Task<HttpResponse> get(QNetworkAccessManager& manager, QUrl url,
                              std::chrono::milliseconds timeout, CancelToken token = {});
} // namespace LocalModelHttp

} // namespace ovra
