#include "dialogs/feedback_model.h"

#include "engines/http_request.h"
#include "ovra/deployment_config.h"
#include "settings/prefs.h"
#include "support/work_owner.h"

namespace ovra {

namespace {

const QString failedText = QStringLiteral(
    "Não foi possível enviar agora. Sua mensagem ficou guardada aqui — tente de novo.");
const QString notConfiguredText =
    QStringLiteral("O envio de feedback não está configurado nesta versão do Ovra. Sua mensagem "
                   "ficou guardada aqui.");

std::string utf8(const QString& text) {
    return text.toStdString();
}

} // namespace

FeedbackError::FeedbackError(Kind kind)
    : Error(kind == Kind::notConfigured ? notConfiguredText : failedText), m_kind(kind) {}

nlohmann::ordered_json FeedbackPayload::toJson() const {
    nlohmann::ordered_json json = nlohmann::ordered_json::object();
    json["name"] = utf8(name);
    json["email"] = utf8(email);
    json["message"] = utf8(message);
    json["app"] = utf8(app);
    json["version"] = utf8(version);
    json["platform"] = utf8(platform);
    json["website"] = utf8(website);
    return json;
}

QString FeedbackModel::deploymentBaseURL() {
    const QString host = QString::fromUtf8(deployment::feedbackHost).trimmed();
    return host.isEmpty() ? QString() : QStringLiteral("https://") + host;
}

QString FeedbackModel::deploymentVersion() {
    const QString version = QString::fromUtf8(deployment::appVersion);
    return version.isEmpty() ? QStringLiteral("?") : version;
}

FeedbackModel::FeedbackModel(Prefs& prefs, QString baseURL, QString appVersion, QObject* parent)
    : QObject(parent), m_prefs(prefs), m_baseURL(std::move(baseURL)),
      m_appVersion(appVersion.isEmpty() ? QStringLiteral("?") : std::move(appVersion)),
      m_http(std::make_shared<HttpClient>()), m_name(prefs.userName().value_or(QString())) {}

FeedbackModel::~FeedbackModel() {
    m_cancel.cancel();
}

void FeedbackModel::setName(const QString& value) {
    if (value == m_name)
        return;
    m_name = value;
    Q_EMIT changed();
}

void FeedbackModel::setEmail(const QString& value) {
    if (value == m_email)
        return;
    m_email = value;
    Q_EMIT changed();
}

void FeedbackModel::setMessage(const QString& value) {
    if (value == m_message)
        return;
    m_message = value;
    if (m_state == SendState::sent)
        m_state = SendState::idle;
    Q_EMIT changed();
}

void FeedbackModel::setState(SendState state, QString failureText) {
    m_state = state;
    m_failureText = std::move(failureText);
    Q_EMIT changed();
}

bool FeedbackModel::canSend() const {
    return m_state != SendState::sending && !m_message.trimmed().isEmpty();
}

void FeedbackModel::reload() {
    if (!m_name.trimmed().isEmpty())
        return;
    setName(m_prefs.userName().value_or(QString()));
}

FeedbackPayload FeedbackModel::payload() const {
    return {m_name.trimmed(),
            m_email.trimmed(),
            m_message.trimmed(),
            QStringLiteral("Ovra"),
            m_appVersion,
            QStringLiteral("Linux"),
            QString()};
}

void FeedbackModel::send() {
    if (!canSend())
        return;
    setState(SendState::sending);
    // Runs on; the model's cancel source ends it when the model goes away.
    sendTask(payload());
}

QCoro::Task<> FeedbackModel::sendTask(FeedbackPayload payload) {
    const WorkOwner owner(this);
    QString failure;
    try {
        co_await post(std::move(payload));
    } catch (const CancelledError&) {
        co_return; // the model is going away
    } catch (const Error& error) {
        failure = error.description();
    } catch (...) {
        failure = failedText;
    }
    if (!owner)
        co_return;
    if (failure.isEmpty()) {
        setState(SendState::sent);
        m_message.clear(); // the thank-you stays until the user writes again
        Q_EMIT changed();
    } else {
        // Name, e-mail and message stay for another try.
        setState(SendState::failed, failure);
    }
}

QCoro::Task<> FeedbackModel::post(FeedbackPayload payload) {
    if (m_baseURL.isEmpty())
        throw FeedbackError(FeedbackError::Kind::notConfigured);
    const QUrl url(m_baseURL + QStringLiteral("/ovra-feedback"));
    if (!HttpClient::isSendable(url))
        throw FeedbackError(FeedbackError::Kind::invalidURL);

    HttpClient::Request request;
    request.url = url;
    request.headers = {{QByteArrayLiteral("Content-Type"), QByteArrayLiteral("application/json")}};
    request.body = QByteArray::fromStdString(payload.toJson().dump());
    request.timeout = requestTimeout;
    // Nothing of the model is used once the request is under way: it may be gone by the time
    // the request ends, and the client (with the reply) lives as long as this frame.
    const std::shared_ptr<HttpClient> http = m_http;
    HttpResponse response;
    try {
        response = co_await http->post(std::move(request), m_cancel.token());
    } catch (const HttpTransportError&) {
        throw FeedbackError(FeedbackError::Kind::badStatus);
    }
    if (response.status < 200 || response.status > 299)
        throw FeedbackError(FeedbackError::Kind::badStatus);
}

QString FeedbackModel::Texts::windowTitle() {
    return QStringLiteral("Ovra — Feedback");
}
QString FeedbackModel::Texts::title() {
    return QStringLiteral("Enviar feedback");
}
QString FeedbackModel::Texts::explanation() {
    return QStringLiteral(
        "Conta o que funcionou, o que quebrou e em quais apps o painel não apareceu. O feedback "
        "cai direto na caixa de entrada do e-mail do Brannoc.");
}
QString FeedbackModel::Texts::nameLabel() {
    return QStringLiteral("Nome");
}
QString FeedbackModel::Texts::namePlaceholder() {
    return QStringLiteral("Seu nome");
}
QString FeedbackModel::Texts::emailLabel() {
    return QStringLiteral("E-mail (opcional)");
}
QString FeedbackModel::Texts::emailPlaceholder() {
    return QStringLiteral("voce@exemplo.com");
}
QString FeedbackModel::Texts::messageLabel() {
    return QStringLiteral("Mensagem");
}
QString FeedbackModel::Texts::sending() {
    return QStringLiteral("Enviando…");
}
QString FeedbackModel::Texts::sent() {
    return QStringLiteral("Feedback enviado. Obrigado!");
}
QString FeedbackModel::Texts::send() {
    return QStringLiteral("Enviar");
}
QString FeedbackModel::Texts::close() {
    return QStringLiteral("Fechar");
}

} // namespace ovra
