#pragma once

#include "engines/http_request.h"
#include "ondevice/local_model/local_model_client.h"

#include <QNetworkAccessManager>
#include <QString>
#include <optional>

namespace ovra {

struct LocalModelClient::Shared {
    explicit Shared(Options options) : options(std::move(options)) {}

    QUrl endpoint(const QString& path) const;
    // Reads the installed models and remembers the one to use; none when the server has none.
    // Throws HttpTransportError (or CancelledError).
    QCoro::Task<std::optional<QString>> refreshModel(std::chrono::milliseconds timeout,
                                                     CancelToken token);

    Options options;
    QNetworkAccessManager manager;
    std::optional<QString> model; // the last choice
};

} // namespace ovra
