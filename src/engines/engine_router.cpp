#include "engines/engine_router.h"

#include "engines/reformulator.h"
#include "settings/key_store.h"
#include "settings/prefs.h"
#include "support/errors.h"
#include "support/logging.h"

#include <QElapsedTimer>

OVRA_LOGGING_CATEGORY("ovra.engines");

namespace ovra {

namespace {

// The result of `work`, or nothing when it failed with anything but cancellation: a failed
// engine is dropped unseen and the next one answers instead, unless `*shown` says that part of
// its answer was already given out.
QCoro::Task<std::optional<QString>> resultUnlessFailed(QCoro::Task<QString> work,
                                                       std::shared_ptr<bool> shown = {}) {
    try {
        co_return co_await std::move(work);
    } catch (const CancelledError&) {
        throw;
    } catch (const HttpTransportError& error) {
        qCWarning(lc) << "engine failed: transport" << int(error.kind()) << "(1 = timed out)";
        if (shown && *shown)
            throw;
        co_return std::nullopt;
    } catch (...) {
        // The description may quote the service's answer, so only the kind is logged.
        qCWarning(lc) << "engine failed: refused or unusable answer";
        if (shown && *shown)
            throw;
        co_return std::nullopt;
    }
}

// `progress`, noting in `shown` that something was given out.
TextProgress noting(std::shared_ptr<bool> shown, TextProgress progress) {
    return [shown = std::move(shown), progress = std::move(progress)](const QString& text) {
        *shown = true;
        if (progress)
            progress(text);
    };
}

const char* kindName(EngineKind kind) {
    switch (kind) {
    case EngineKind::google:
        return "google";
    case EngineKind::online:
        return "online";
    case EngineKind::onDevice:
        break;
    }
    return "device";
}

} // namespace

EngineRouter::EngineRouter(Prefs& prefs, KeyStore& keys, HttpClient& http,
                           LanguageModel& deviceModel, TranslationCoordinator& coordinator,
                           QUrl googleBaseUrl)
    : m_prefs(prefs), m_keys(keys), m_onlineClient(prefs, keys, http),
      m_googleClient(keys, http, std::move(googleBaseUrl)), m_google(m_googleClient),
      m_localTranslation(coordinator), m_localReformulation(deviceModel) {}

QString EngineRouter::instruction(AIActionKind kind) {
    switch (kind) {
    case AIActionKind::summarize:
        return QStringLiteral("Resuma o texto do usuário de forma clara e fiel, no mesmo idioma "
                              "do texto, com no máximo um terço do tamanho original. Responda só "
                              "com o resumo, sem explicações nem comentários.");
    case AIActionKind::review:
        break;
    }
    return QStringLiteral("Revise o texto do usuário: corrija gramática, ortografia, pontuação e "
                          "clareza, mantendo o idioma, o tom e o sentido. Responda só com o texto "
                          "revisado, sem explicações, aspas ou comentários.");
}

bool EngineRouter::hasAIKey() const {
    const std::optional<QString> key = m_keys.aiAPIKey(m_prefs.aiProvider());
    return key && !key->isEmpty();
}

bool EngineRouter::hasGoogleKey() const {
    return GoogleTranslateClient::resolvedAPIKey(m_keys).has_value();
}

QCoro::Task<EngineOutcome> EngineRouter::translate(QString text, TargetLanguage target,
                                                   CancelToken token, TextProgress progress) {
    token.throwIfCancelled();
    // Translation never moves from one online service to the other.
    const bool viaAI = m_prefs.onlineTranslationProvider() == OnlineTranslationProvider::ai;
    if (viaAI && hasAIKey()) {
        auto shown = std::make_shared<bool>(false);
        auto work =
            m_onlineClient.translate(text, target, token, noting(shown, std::move(progress)));
        co_return co_await translateOnline(std::move(work), std::move(shown), EngineKind::online,
                                           std::move(text), std::move(target), std::move(token));
    }
    if (!viaAI && hasGoogleKey()) {
        auto work = m_google.translate(text, target, token);
        co_return co_await translateOnline(std::move(work), {}, EngineKind::google, std::move(text),
                                           std::move(target), std::move(token));
    }
    // Awaited on its own line: GCC 12 miscompiles co_await inside braced initialisers.
    QString deviceText = co_await translateOnDevice(std::move(text), std::move(target), token);
    co_return EngineOutcome{std::move(deviceText), EngineKind::onDevice, false};
}

QCoro::Task<EngineOutcome> EngineRouter::translateOnline(QCoro::Task<QString> work,
                                                         std::shared_ptr<bool> shown,
                                                         EngineKind kind, QString text,
                                                         TargetLanguage target, CancelToken token) {
    QElapsedTimer timer;
    timer.start();
    const std::optional<QString> result =
        co_await resultUnlessFailed(std::move(work), std::move(shown));
    qCInfo(lc) << "translation by" << kindName(kind) << (result ? "answered" : "failed") << "in"
               << timer.elapsed() << "ms";
    if (result)
        co_return EngineOutcome{*result, kind, false};
    token.throwIfCancelled();
    QString deviceText = co_await translateOnDevice(std::move(text), std::move(target), token);
    co_return EngineOutcome{std::move(deviceText), EngineKind::onDevice, true};
}

QCoro::Task<QString> EngineRouter::translateOnDevice(QString text, TargetLanguage target,
                                                     CancelToken token) {
    const std::optional<QString> result =
        co_await resultUnlessFailed(m_localTranslation.translate(text, target, token));
    if (result)
        co_return *result;
    token.throwIfCancelled();
    // One retry with a session built afresh; a second failure is reported as it is.
    m_localTranslation.coordinator().setForceFreshSession(true);
    co_return co_await m_localTranslation.translate(std::move(text), std::move(target),
                                                    std::move(token));
}

QCoro::Task<EngineOutcome> EngineRouter::reformulate(QString text, CancelToken token,
                                                     TextProgress progress) {
    token.throwIfCancelled();
    const bool triedOnline = hasAIKey();
    if (triedOnline) {
        auto shown = std::make_shared<bool>(false);
        const std::optional<QString> result = co_await resultUnlessFailed(
            m_onlineClient.reformulate(text, token, noting(shown, std::move(progress))), shown);
        qCInfo(lc) << "online AI" << (result ? "answered" : "failed; the device answers");
        if (result)
            co_return EngineOutcome{*result, EngineKind::online, false};
        token.throwIfCancelled();
    }
    QString deviceText = co_await m_localReformulation.reformulate(std::move(text), token);
    co_return EngineOutcome{std::move(deviceText), EngineKind::onDevice, triedOnline};
}

QCoro::Task<EngineOutcome> EngineRouter::runAction(AIActionKind kind, QString text,
                                                   CancelToken token, TextProgress progress) {
    token.throwIfCancelled();
    const QString instructions = instruction(kind);
    const bool triedOnline = hasAIKey();
    if (triedOnline) {
        // Built before the co_await: GCC 12 mishandles braced lists inside await expressions.
        QList<OnlineAIClient::Message> messages;
        messages.append({QStringLiteral("system"), instructions});
        messages.append({QStringLiteral("user"), text});
        auto shown = std::make_shared<bool>(false);
        const std::optional<QString> result = co_await resultUnlessFailed(
            m_onlineClient.performChat(std::move(messages), token,
                                       noting(shown, std::move(progress))),
            shown);
        qCInfo(lc) << "online AI" << (result ? "answered" : "failed; the device answers");
        if (result)
            co_return EngineOutcome{*result, EngineKind::online, false};
        token.throwIfCancelled();
    }
    QString deviceText = co_await OnDeviceAI::runWithLocalModel(
        m_localReformulation.model(), instructions, std::move(text), token);
    co_return EngineOutcome{std::move(deviceText), EngineKind::onDevice, triedOnline};
}

} // namespace ovra
