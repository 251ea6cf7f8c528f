#pragma once

#include "support/cancellation.h"
#include "support/errors.h"

#include <QObject>
#include <QString>
#include <QUrl>
#include <memory>
#include <nlohmann/json.hpp>
#include <qcoro/qcorotask.h>

namespace ovra {

class Prefs;
class HttpClient;

// Why a feedback message could not be delivered. Every kind shows the same sentence except a
// build without a feedback host, which says so.
class FeedbackError : public Error {
public:
    enum class Kind {
        notConfigured, // this build has no feedback host
        invalidURL,    // the endpoint address cannot be formed
        badStatus,     // no HTTP answer, or a status outside 200…299
    };
    explicit FeedbackError(Kind kind);
    Kind kind() const { return m_kind; }

private:
    Kind m_kind;
};

// What is sent: every member a string, in this order.
struct FeedbackPayload {
    QString name;
    QString email;
    QString message;
    QString app;
    QString version;
    QString platform;
    QString website;

    nlohmann::ordered_json toJson() const;
};

// The feedback form: name, e-mail and message, and one JSON POST to "<base>/ovra-feedback".
// A message that failed to go stays in the form. Main thread only.
class FeedbackModel final : public QObject {
    Q_OBJECT
public:
    enum class SendState { idle, sending, sent, failed };
    static constexpr std::chrono::milliseconds requestTimeout{15'000};

    // "https://<feedback host>" of this build; empty when the build has no feedback host.
    static QString deploymentBaseURL();
    // This build's version, "?" when it has none.
    static QString deploymentVersion();

    // `baseURL` is scheme and host (tests use a loopback http server); empty disables sending.
    FeedbackModel(Prefs& prefs, QString baseURL, QString appVersion = deploymentVersion(),
                  QObject* parent = nullptr);
    ~FeedbackModel() override;

    const QString& name() const { return m_name; }
    void setName(const QString& value);
    const QString& email() const { return m_email; }
    void setEmail(const QString& value);
    const QString& message() const { return m_message; }
    // The user's edit; after a successful send it also returns the state to idle.
    void setMessage(const QString& value);
    SendState state() const { return m_state; }
    // The failure sentence while the state is failed.
    const QString& failureText() const { return m_failureText; }
    const QString& appVersion() const { return m_appVersion; }

    bool canSend() const;
    // Refills an empty name from the stored user name.
    void reload();
    // Starts sending; does nothing while sending or with a blank message.
    void send();
    FeedbackPayload payload() const;

    struct Texts {
        static QString windowTitle();
        static QString title();
        static QString explanation();
        static QString nameLabel();
        static QString namePlaceholder();
        static QString emailLabel();
        static QString emailPlaceholder();
        static QString messageLabel();
        static QString sending();
        static QString sent();
        static QString send();
        static QString close();
    };

Q_SIGNALS:
    void changed();

private:
    QCoro::Task<> post(FeedbackPayload payload);
    QCoro::Task<> sendTask(FeedbackPayload payload);
    void setState(SendState state, QString failureText = {});

    Prefs& m_prefs;
    QString m_baseURL;
    QString m_appVersion;
    // Shared with the request in flight: its reply belongs to the client's network manager, and
    // the request may finish only after the model is gone (QCoro resumes it from a queued call).
    std::shared_ptr<HttpClient> m_http;
    CancelSource m_cancel; // ends a request in flight when the model goes away

    QString m_name;
    QString m_email;
    QString m_message;
    SendState m_state = SendState::idle;
    QString m_failureText;
};

} // namespace ovra
