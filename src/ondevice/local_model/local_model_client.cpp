#include "ondevice/local_model/local_model_client.h"

#include "ondevice/local_model/local_model_choice.h"
#include "ondevice/local_model/local_model_http.h"
#include "ondevice/local_model/local_model_session.h"
#include "ondevice/local_model/local_model_shared.h"
#include "ovra/deployment_config.h"

namespace ovra {

QUrl LocalModelClient::Shared::endpoint(const QString& path) const {
    QUrl url = options.baseUrl;
    QString base = url.path();
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    url.setPath(base + path);
    return url;
}

QCoro::Task<std::optional<QString>>
LocalModelClient::Shared::refreshModel(std::chrono::milliseconds timeout, CancelToken token) {
    const HttpResponse response = co_await LocalModelHttp::get(
        manager, endpoint(QStringLiteral("/api/tags")), timeout, token);
    std::optional<QString> chosen;
    if (response.status == 200) {
        if (const auto installed = LocalModelChoice::parseTags(response.body))
            chosen = LocalModelChoice::choose(*installed);
    }
    model = chosen;
    co_return chosen;
}

LocalModelClient::Options LocalModelClient::defaultOptions() {
    Options options;
    options.baseUrl = QUrl(QString::fromLatin1(deployment::localModelUrl));
    return options;
}

LocalModelClient::LocalModelClient(Options options)
    : m_shared(std::make_shared<Shared>(std::move(options))) {}

LocalModelClient::~LocalModelClient() = default;

QCoro::Task<bool> LocalModelClient::isAvailable(CancelToken token) {
    token.throwIfCancelled();
    const auto shared = m_shared;
    try {
        const auto model =
            co_await shared->refreshModel(shared->options.availabilityTimeout, token);
        co_return model.has_value();
    } catch (const CancelledError&) {
        throw;
    } catch (...) {
        // Whatever keeps the server from answering counts as "not available".
    }
    token.throwIfCancelled();
    co_return false;
}

std::unique_ptr<LanguageModelSession> LocalModelClient::openSession(QString instructions) {
    return std::make_unique<LocalModelSession>(m_shared, std::move(instructions));
}

} // namespace ovra
