#pragma once

#include "platform/language_services.h"

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

namespace ovra {

// Downloads one language pack at a time for the preferences window: a translation session for
// the pair is asked to prepare its assets (the system installs the pack, with its own dialog),
// and the end of each attempt is reported so the pack list can look again. Main thread only.
class PackDownloadCoordinator : public QObject {
    Q_OBJECT
public:
    explicit PackDownloadCoordinator(TranslationService& service, QObject* parent = nullptr);
    ~PackDownloadCoordinator() override;

    // Starts preparing `source` → `target`; `code` names the row that asked.
    void download(const QString& source, const QString& target, const QString& code);

    // The pair of the last request; asking again for the same pair invalidates it.
    const std::optional<TranslationConfiguration>& configuration() const { return m_configuration; }
    // The pack whose download is under way, until the latest attempt ends.
    const std::optional<QString>& downloadingCode() const { return m_downloadingCode; }
    // Why the last attempt failed, when it failed with something the user should read (for
    // example, no package service on this system); cleared by the next request.
    const std::optional<QString>& lastFailure() const { return m_lastFailure; }

Q_SIGNALS:
    void downloadingCodeChanged();
    // Once at the end of every attempt, successful or not, with the pack code; after `failed`.
    void finished(const QString& code);
    void failed(const QString& message);

private:
    QCoro::Task<void> run(std::unique_ptr<TranslationSession> session, quint64 attempt,
                          QString code);

    TranslationService& m_service;
    std::optional<TranslationConfiguration> m_configuration;
    std::optional<QString> m_downloadingCode;
    std::optional<QString> m_lastFailure;
    quint64 m_attempts = 0;
    CancelSource m_running; // cancelled when this ends: a preparation still running stops
};

} // namespace ovra
