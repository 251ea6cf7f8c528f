#pragma once

#include "ondevice/apertium/apertium_routes.h"
#include "ondevice/apertium/apertium_translation_service.h"

#include <QString>

namespace ovra {

// What the service and its sessions share.
struct ApertiumTranslationService::Context {
    Scheduler& scheduler;
    LanguageDetector& detector;
    PackageInstaller& installer;
    LanguageModel* fallbackModel;
    ApertiumProcess::Options process;

    std::vector<ApertiumMode> modes() const {
        return ApertiumRoutes::installedModes(process.dataDir);
    }
};

} // namespace ovra
