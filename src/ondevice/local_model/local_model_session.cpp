#include "ondevice/local_model/local_model_session.h"

#include "engines/reformulator.h"
#include "ondevice/local_model/local_model_http.h"
#include "ondevice/local_model/local_model_shared.h"
#include "support/bounded_json.h"

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

// The answer of a streamed reply: one JSON object per line, each with the next piece of the
// message, the last one marked done. Nothing when a line is not such an object, when the server
// reports an error, or when the stream ended before it was done.
std::optional<QString> replyContent(const QByteArray& body) {
    std::string content;
    bool done = false;
    for (const QByteArray& line : body.split('\n')) {
        if (line.trimmed().isEmpty())
            continue;
        const auto json = BoundedJson::parse(line);
        if (!json.is_object() || json.contains("error"))
            return std::nullopt;
        if (json.contains("message")) {
            const auto& message = json["message"];
            if (!message.is_object() || !message.contains("content") ||
                !message["content"].is_string())
                return std::nullopt;
            content += message["content"].get<std::string>();
        }
        if (const auto flag = json.find("done"); flag != json.end() && flag->is_boolean())
            done = done || flag->get<bool>();
    }
    if (!done)
        return std::nullopt;
    return QString::fromStdString(content);
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
    body["stream"] = true;
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

    LocalModelHttp::StreamLimits limits;
    limits.idleTimeout = shared->options.answerIdleTimeout;
    limits.wholeTimeout = shared->options.answerTimeout;
    HttpResponse response;
    try {
        // The panel shows a result whole, so the pieces are collected, not shown as they come.
        response = co_await LocalModelHttp::postStreamed(
            shared->manager, shared->endpoint(QStringLiteral("/api/chat")),
            requestBody(*model, m_messages, prompt), limits, token);
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
