#include "engines/translation_coordinator.h"

#include "support/errors.h"

#include <QPointer>

namespace ovra {

TranslationCoordinator::TranslationCoordinator(QObject* parent) : QObject(parent) {}

TranslationCoordinator::~TranslationCoordinator() {
    endPendingAsCancelled();
}

QString TranslationCoordinator::preparationNoteText() {
    return QStringLiteral("Baixando pacote de idioma…");
}

void TranslationCoordinator::endAsCancelled(const std::shared_ptr<Request>& request) {
    request->cancel.cancel();
    request->completion->fail(std::make_exception_ptr(CancelledError()));
}

void TranslationCoordinator::endPendingAsCancelled() {
    // A caller resumed here may start another request at once; that one ends too.
    while (m_pending) {
        auto request = std::exchange(m_pending, nullptr);
        m_pendingText.reset();
        endAsCancelled(request);
    }
}

void TranslationCoordinator::setPreparationNote(std::optional<QString> note) {
    if (m_preparationNote == note)
        return;
    m_preparationNote = std::move(note);
    Q_EMIT preparationNoteChanged();
}

void TranslationCoordinator::publish(const QString& targetCode) {
    // The full code is compared, so a change between variants of one language ("zh-CN" to
    // "zh-TW") builds a new configuration instead of reusing the old target.
    if (!m_forceFreshSession && m_configuration && m_configuration->target == targetCode) {
        m_configuration->invalidate();
    } else {
        m_forceFreshSession = false;
        const quint64 generation = m_configuration ? m_configuration->generation + 1 : 0;
        m_configuration = TranslationConfiguration{std::nullopt, targetCode, generation};
    }
    Q_EMIT configurationChanged();
}

QCoro::Task<QString> TranslationCoordinator::translate(QString text, TargetLanguage target,
                                                       CancelToken token) {
    token.throwIfCancelled();
    endPendingAsCancelled();

    auto request = std::make_shared<Request>();
    m_pending = request;
    m_pendingText = std::move(text);

    QPointer<TranslationCoordinator> self(this);
    std::weak_ptr<Request> weakRequest = request;
    const auto subscription = token.onCancel([self, weakRequest] {
        const auto cancelled = weakRequest.lock();
        if (!cancelled)
            return;
        if (self && self->m_pending == cancelled) {
            self->m_pending.reset();
            self->m_pendingText.reset();
        }
        endAsCancelled(cancelled);
    });

    publish(target.code);
    co_return co_await request->completion->wait();
}

QCoro::Task<void> TranslationCoordinator::runSession(std::unique_ptr<TranslationSession> session) {
    if (!m_pendingText || !m_pending)
        co_return;
    const auto request = std::exchange(m_pending, nullptr);
    const QString text = *std::exchange(m_pendingText, std::nullopt);
    const CancelToken token = request->cancel.token();
    QPointer<TranslationCoordinator> self(this);

    QString translation;
    std::exception_ptr failure;
    try {
        if (!co_await session->isReady(token)) {
            if (self)
                self->setPreparationNote(preparationNoteText());
            co_await session->prepareTranslation(token);
        }
        translation = co_await session->translate(text, token);
    } catch (...) {
        failure = std::current_exception();
    }
    if (self)
        self->setPreparationNote(std::nullopt);
    if (failure)
        request->completion->fail(failure);
    else
        request->completion->resolve(std::move(translation));
}

void TranslationCoordinator::cancelPending() {
    endPendingAsCancelled();
    setPreparationNote(std::nullopt);
}

TranslationSessionHost::TranslationSessionHost(TranslationCoordinator& coordinator,
                                               TranslationService& service, QObject* parent)
    : QObject(parent), m_coordinator(coordinator), m_service(service) {
    connect(&coordinator, &TranslationCoordinator::configurationChanged, this,
            &TranslationSessionHost::deliver);
}

void TranslationSessionHost::setActive(bool active) {
    if (m_active == active)
        return;
    m_active = active;
    deliver();
}

void TranslationSessionHost::deliver() {
    if (!m_active || !m_coordinator.configuration())
        return;
    // The configuration leaves the source to the translator. Naming it here, from the waiting
    // text, makes a session for the actual pair: one that knows a pack is missing and gets it,
    // where a session without a source would report itself ready and then fail.
    TranslationConfiguration configuration = *m_coordinator.configuration();
    if (!configuration.source && m_coordinator.pendingText())
        configuration.source =
            m_service.detectSource(*m_coordinator.pendingText(), configuration.target);
    // Runs on after this returns; the coordinator guards itself against being gone.
    m_coordinator.runSession(m_service.makeSession(configuration));
}

} // namespace ovra
