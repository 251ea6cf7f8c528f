// The whole device path with nothing online: no keys, no model server, the real Apertium pairs
// the setup script installs. English chosen for Portuguese must come back in Portuguese.
#include "engines/engine_router.h"
#include "engines/translation_coordinator.h"
#include "fakes/fake_package_installer.h"
#include "ondevice/apertium/apertium_translation_service.h"
#include "ondevice/apertium/language_detector.h"
#include "ondevice/local_model/local_model_client.h"
#include "support/task_runner.h"
#include "support/timer_scheduler.h"
#include "unit/engines/engine_test_support.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace ovra;
using namespace ovra::test;
using namespace Qt::StringLiterals;

namespace {

// Settings without keys, a local model that does not answer, and the router over the device
// translator; `apertiumData` holds the installed pairs.
struct DeviceRoute {
    explicit DeviceRoute(const QString& apertiumData) : process{.dataDir = apertiumData} {
        host.setActive(true);
    }

    EngineEnvironment env{QString()}; // no built-in key
    const QUrl nowhere = closedLoopbackUrl();
    LocalModelClient model{{.baseUrl = nowhere}};
    TimerScheduler scheduler;
    LanguageDetector detector;
    FakePackageInstaller installer;
    ApertiumProcess::Options process;
    ApertiumTranslationService translator{scheduler, detector, installer, &model, process};
    TranslationCoordinator coordinator;
    TranslationSessionHost host{coordinator, translator};
    EngineRouter router{env.prefs, env.keys, env.http, model, coordinator, nowhere};
};

const QString englishText =
    u"The city council approved a new plan to improve public transport next year. Many "
    u"residents said that they were happy with the decision."_s;

// With no key and no network, English to Portuguese goes through Spanish; only English-Spanish is
// installed. The panel's translation detects English, finds the Spanish-Portuguese pack missing,
// installs it with the note showing, then translates on the device.
TEST(DeviceTranslationRoute, AMissingPackIsInstalledWithTheNoteShowingThenUsed) {
    QTemporaryDir data;
    QDir(data.path()).mkpath(u"modes"_s);
    const auto installMode = [&](const QString& name) {
        ASSERT_TRUE(
            QFile::copy(u"/usr/share/apertium/modes/"_s + name, data.filePath(u"modes/"_s + name)));
    };
    installMode(u"eng-spa.mode"_s);
    installMode(u"spa-eng.mode"_s);
    DeviceRoute device(data.path());
    device.installer.onInstall = [&](const QStringList&) {
        installMode(u"es-pt.mode"_s);
        installMode(u"pt-es.mode"_s);
    };
    QStringList notes;
    QObject::connect(&device.coordinator, &TranslationCoordinator::preparationNoteChanged,
                     [&] { notes.append(device.coordinator.preparationNote().value_or(u"-"_s)); });

    const EngineOutcome outcome =
        runToEnd(device.router.translate(englishText, TargetLanguage::portuguese()), 60000);

    EXPECT_EQ(device.installer.installs, QList<QStringList>{{u"apertium-es-pt"_s}});
    EXPECT_EQ(notes, (QStringList{u"Baixando pacote de idioma…"_s, u"-"_s}));
    EXPECT_EQ(outcome.engine, EngineKind::onDevice);
    EXPECT_FALSE(outcome.usedFallback); // no online engine was usable, so none was tried
    EXPECT_EQ(device.detector.candidates(outcome.text).value(0), u"pt"_s)
        << outcome.text.toStdString();
    EXPECT_TRUE(outcome.text.contains(u"transporte público"_s)) << outcome.text.toStdString();
}

} // namespace
