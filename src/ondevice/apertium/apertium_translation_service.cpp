#include "ondevice/apertium/apertium_translation_service.h"

#include "ondevice/apertium/apertium_languages.h"
#include "ondevice/apertium/apertium_translation_session.h"
#include "ondevice/apertium/language_detector.h"

namespace ovra {

ApertiumTranslationService::ApertiumTranslationService(Scheduler& scheduler,
                                                       LanguageDetector& detector,
                                                       PackageInstaller& installer,
                                                       LanguageModel* fallbackModel,
                                                       ApertiumProcess::Options process)
    : m_context(std::make_shared<Context>(
          Context{scheduler, detector, installer, fallbackModel, std::move(process)})) {}

ApertiumTranslationService::~ApertiumTranslationService() = default;

std::unique_ptr<TranslationSession>
ApertiumTranslationService::makeSession(const TranslationConfiguration& configuration) {
    return std::make_unique<ApertiumTranslationSession>(m_context, configuration);
}

std::optional<QString> ApertiumTranslationService::detectSource(const QString& text,
                                                                const QString& target) {
    const QStringList candidates = m_context->detector.candidates(text);
    if (candidates.isEmpty())
        return std::nullopt;
    const QString to = ApertiumLanguages::canonical(target);
    const QString variant = ApertiumLanguages::preferredVariant(target);
    const auto modes = m_context->modes();
    // Close guesses come together ("[pt][gl]"): the first one an installed pair serves, else the
    // first one a pack can serve, else the likeliest.
    for (const QString& candidate : candidates) {
        if (candidate == to || ApertiumRoutes::installedRoute(modes, candidate, to, variant))
            return candidate;
    }
    for (const QString& candidate : candidates) {
        if (ApertiumRoutes::packagesNeeded(modes, candidate, to))
            return candidate;
    }
    return candidates.constFirst();
}

QCoro::Task<LanguageAvailabilityStatus>
ApertiumTranslationService::status(QString source, QString target, CancelToken token) {
    token.throwIfCancelled();
    const QString from = ApertiumLanguages::canonical(source);
    const QString to = ApertiumLanguages::canonical(target);
    if (from.isEmpty() || to.isEmpty())
        co_return LanguageAvailabilityStatus::unsupported;
    if (from == to)
        co_return LanguageAvailabilityStatus::installed;
    const auto modes = m_context->modes();
    if (ApertiumRoutes::installedRoute(modes, from, to))
        co_return LanguageAvailabilityStatus::installed;
    if (ApertiumRoutes::packagesNeeded(modes, from, to))
        co_return LanguageAvailabilityStatus::supported;
    co_return LanguageAvailabilityStatus::unsupported;
}

} // namespace ovra
