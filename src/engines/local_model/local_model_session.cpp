#include "engines/local_model/local_model_session.h"

#include "engines/local_model/local_model_shared.h"
#include "engines/reformulator.h"

#include <nlohmann/json.hpp>

namespace ovra {

namespace {

// Fixed texts: the transport's own words may name the server's address and mean nothing to
// the user.
ReformulatorError transportFailure(HttpTransportError::Kind kind) {
    switch (kind) {
    case HttpTransportError::Kind::noConnection:
        return ReformulatorError::unavailable();
    case HttpTransportError::Kind::timedOut:
        return ReformulatorError::underlying(
            QStringLiteral("A IA do aparelho não respondeu a tempo. Tente de novo."));
    case HttpTransportError::Kind::unexpectedResponse:
        return ReformulatorError::underlying(
            QStringLiteral("A IA do aparelho deu uma resposta inesperada."));
    case HttpTransportError::Kind::tlsRefused:
    case HttpTransportError::Kind::other:
        break;
    }
    return ReformulatorError::underlying(
        QStringLiteral("Falha ao falar com a IA do aparelho. Tente de novo."));
}

std::optional<QString> replyContent(const QByteArray& body) {
    const auto json = nlohmann::json::parse(body.constBegin(), body.constEnd(), nullptr, false);
    if (!json.is_object() || !json.contains("message") || !json["message"].is_object())
        return std::nullopt;
    const auto& message = json["message"];
    if (!message.contains("content") || !message["content"].is_string())
        return std::nullopt;
    return QString::fromStdString(message["content"].get<std::string>());
}

QByteArray requestBody(const QString& model,
                       const std::vector<LocalModelSession::Message>& messages,
                       const QString& prompt) {
    nlohmann::ordered_json body;
    body["model"] = model.toStdString();
    auto list = nlohmann::ordered_json::array();
    for (const auto& message : messages)
        list.push_back(
            {{"role", message.role.toStdString()}, {"content", message.content.toStdString()}});
    list.push_back({{"role", "user"}, {"content", prompt.toStdString()}});
    body["messages"] = std::move(list);
    body["stream"] = false;
    return QByteArray::fromStdString(body.dump());
}

} // namespace

LocalModelSession::LocalModelSession(std::shared_ptr<LocalModelClient::Shared> shared,
                                     QString instructions)
    : m_shared(std::move(shared)) {
    if (!instructions.isEmpty())
        m_messages.push_back({QStringLiteral("system"), std::move(instructions)});
}

QCoro::Task<QString> LocalModelSession::respond(QString prompt, CancelToken token) {
    token.throwIfCancelled();
    const auto shared = m_shared;
    std::optional<QString> model = shared->model;
    if (!model) {
        try {
            model = co_await shared->refreshModel(shared->options.availabilityTimeout, token);
        } catch (const HttpTransportError&) {
            model.reset();
        }
        if (!model)
            throw ReformulatorError::unavailable();
    }

    HttpClient::Request request;
    request.url = shared->endpoint(QStringLiteral("/api/chat"));
    request.headers = {{QByteArrayLiteral("Content-Type"), QByteArrayLiteral("application/json")}};
    request.body = requestBody(*model, m_messages, prompt);
    request.timeout = shared->options.requestTimeout;

    HttpResponse response;
    try {
        response = co_await shared->http.post(std::move(request), token);
    } catch (const HttpTransportError& error) {
        throw transportFailure(error.kind());
    }
    if (response.status == 404) {
        // The model went away since it was chosen: choose again next time.
        shared->model.reset();
        throw ReformulatorError::underlying(
            QStringLiteral("O modelo da IA do aparelho não está mais instalado."));
    }
    if (response.status != 200)
        throw ReformulatorError::underlying(
            QStringLiteral("A IA do aparelho recusou o pedido (HTTP %1).").arg(response.status));
    const std::optional<QString> content = replyContent(response.body);
    if (!content)
        throw transportFailure(HttpTransportError::Kind::unexpectedResponse);
    if (content->trimmed().isEmpty())
        throw ReformulatorError::emptyAnswer();

    // Only an answered turn joins the conversation.
    m_messages.push_back({QStringLiteral("user"), std::move(prompt)});
    m_messages.push_back({QStringLiteral("assistant"), *content});
    co_return *content;
}

} // namespace ovra
