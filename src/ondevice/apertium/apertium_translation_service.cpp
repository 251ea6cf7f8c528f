#include "ondevice/apertium/apertium_translation_service.h"

#include "ondevice/apertium/apertium_languages.h"
#include "ondevice/apertium/apertium_translation_session.h"

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
