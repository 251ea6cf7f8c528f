#include "dialogs/language_pack_downloads.h"

#include "support/errors.h"

namespace ovra {

PackDownloadCoordinator::PackDownloadCoordinator(TranslationService& service, QObject* parent)
    : QObject(parent), m_service(service) {}

PackDownloadCoordinator::~PackDownloadCoordinator() {
    m_running.cancel();
}

void PackDownloadCoordinator::download(const QString& source, const QString& target,
                                       const QString& code) {
    m_downloadingCode = code;
    m_lastFailure.reset();
    const TranslationConfiguration wanted{source, target, 0};
    if (m_configuration && m_configuration->sameLanguages(wanted)) {
        m_configuration->invalidate();
    } else {
        const quint64 generation = m_configuration ? m_configuration->generation + 1 : 0;
        m_configuration = TranslationConfiguration{source, target, generation};
    }
    Q_EMIT downloadingCodeChanged();
    // Runs on by itself; it holds its session, and this ends it before going away.
    run(m_service.makeSession(*m_configuration), ++m_attempts, code);
}

QCoro::Task<void> PackDownloadCoordinator::run(std::unique_ptr<TranslationSession> session,
                                               quint64 attempt, QString code) {
    const CancelToken running = m_running.token();
    std::optional<QString> failure;
    try {
        co_await session->prepareTranslation(running);
    } catch (const Error& error) {
        failure = error.description();
    } catch (...) {
        // Cancelled, by the user in the system's dialog or because this is ending: no message.
    }
    // Stopped because this is ending (the destructor cancels first): nothing to report.
    if (running.isCancelled())
        co_return;

    // A newer attempt keeps its row marked as downloading until it ends too.
    const QString reported = m_downloadingCode.value_or(code);
    if (attempt == m_attempts) {
        m_downloadingCode.reset();
        Q_EMIT downloadingCodeChanged();
    }
    if (failure) {
        m_lastFailure = failure;
        Q_EMIT failed(*failure);
    }
    Q_EMIT finished(reported);
}

} // namespace ovra
