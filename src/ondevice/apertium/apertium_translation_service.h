#pragma once

#include "ondevice/apertium/apertium_process.h"
#include "platform/language_services.h"
#include "support/scheduler.h"

#include <memory>

namespace ovra {

class LanguageDetector;
class PackageInstaller;

// The device's translator on Linux: Apertium pairs are the language packs. The source language
// is detected with libexttextcat when the caller does not give it; two installed pairs chain
// through one pivot language; when no pair serves, the local language model translates if it is
// available. Packs are installed through the package installer (PackageKit).
class ApertiumTranslationService final : public TranslationService {
public:
    // `fallbackModel` may be null. Everything passed must outlive the service and its sessions.
    ApertiumTranslationService(Scheduler& scheduler, LanguageDetector& detector,
                               PackageInstaller& installer, LanguageModel* fallbackModel,
                               ApertiumProcess::Options process = {});
    ~ApertiumTranslationService() override;

    std::unique_ptr<TranslationSession>
    makeSession(const TranslationConfiguration& configuration) override;
    QCoro::Task<LanguageAvailabilityStatus> status(QString source, QString target,
                                                   CancelToken token) override;
    std::optional<QString> detectSource(const QString& text, const QString& target) override;

    struct Context;

private:
    std::shared_ptr<Context> m_context;
};

} // namespace ovra
