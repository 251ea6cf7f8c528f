#pragma once

#include "engines/one_shot.h"
#include "platform/language_services.h"
#include "settings/catalogues.h"

#include <QObject>
#include <QString>
#include <memory>
#include <optional>

namespace ovra {

// Turns on-device translation into an ordinary awaitable call. The translator hands out sessions
// only to a host that watches the published configuration (TranslationSessionHost); a request is
// parked here, the configuration is published or invalidated, and the session the host delivers
// through runSession() performs it. At most one request waits at a time: a newer one, or
// cancelPending(), ends it with CancelledError. Main thread only.
class TranslationCoordinator : public QObject {
    Q_OBJECT
public:
    explicit TranslationCoordinator(QObject* parent = nullptr);
    ~TranslationCoordinator() override;

    // The translation as the device gives it (not trimmed). CancelledError when superseded,
    // cancelled here or through `token`; otherwise the device's own failure.
    QCoro::Task<QString> translate(QString text, TargetLanguage target, CancelToken token = {});
    // Called by the host with a fresh session each time the configuration is published or
    // invalidated.
    QCoro::Task<void> runSession(std::unique_ptr<TranslationSession> session);
    // Ends the waiting request, if any, with CancelledError and clears the note.
    void cancelPending();

    const std::optional<TranslationConfiguration>& configuration() const { return m_configuration; }
    const std::optional<QString>& preparationNote() const { return m_preparationNote; }
    bool forceFreshSession() const { return m_forceFreshSession; }
    // Set before a retry: the next request builds a new configuration even for the same target.
    void setForceFreshSession(bool value) { m_forceFreshSession = value; }
    bool hasPendingRequest() const { return m_pending != nullptr; }
    const std::optional<QString>& pendingText() const { return m_pendingText; }

    static QString preparationNoteText();

Q_SIGNALS:
    // The configuration was published anew or invalidated: a host should deliver a session.
    void configurationChanged();
    void preparationNoteChanged();

private:
    struct Request {
        std::shared_ptr<OneShot<QString>> completion = OneShot<QString>::make();
        CancelSource cancel; // stops the session's work when the caller gives up
    };

    void publish(const QString& targetCode);
    void endPendingAsCancelled();
    static void endAsCancelled(const std::shared_ptr<Request>& request);
    void setPreparationNote(std::optional<QString> note);

    std::optional<TranslationConfiguration> m_configuration;
    std::optional<QString> m_preparationNote;
    std::optional<QString> m_pendingText;
    std::shared_ptr<Request> m_pending;
    bool m_forceFreshSession = false;
};

// Delivers sessions to a coordinator while it is active (the panel is on screen): each time the
// configuration changes, and once on activation when a configuration is already published.
class TranslationSessionHost : public QObject {
    Q_OBJECT
public:
    TranslationSessionHost(TranslationCoordinator& coordinator, TranslationService& service,
                           QObject* parent = nullptr);

    void setActive(bool active);
    bool isActive() const { return m_active; }

private:
    void deliver();

    TranslationCoordinator& m_coordinator;
    TranslationService& m_service;
    bool m_active = false;
};

} // namespace ovra
