// The whole device path with nothing online: no keys, no model server, the real Apertium pairs
// the setup script installs. English chosen for Portuguese must come back in Portuguese.
#include "engines/engine_router.h"
#include "engines/translation_coordinator.h"
#include "fakes/fake_package_installer.h"
#include "ondevice/apertium/apertium_translation_service.h"
#include "ondevice/apertium/language_detector.h"
#include "ondevice/local_model/local_model_client.h"
#include "settings/defaults_store.h"
#include "settings/key_store.h"
#include "settings/prefs.h"
#include "support/task_runner.h"
#include "support/timer_scheduler.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace ovra;
using namespace ovra::test;

namespace {

// A loopback address where nothing listens: the port is taken, then given back.
QUrl closedLoopbackUrl() {
    QTcpServer probe;
    EXPECT_TRUE(probe.listen(QHostAddress::LocalHost));
    const quint16 port = probe.serverPort();
    probe.close();
    return QUrl(QStringLiteral("http://127.0.0.1:") + QString::number(port));
}

// Settings without keys, a local model that does not answer, and the router over the device
// translator; `apertiumData` holds the installed pairs.
struct DeviceRoute {
    explicit DeviceRoute(const QString& apertiumData = QStringLiteral("/usr/share/apertium"))
        : process(apertiumAt(apertiumData)) {
        keysPointer = &keys;
        host.setActive(true);
    }

    static ApertiumProcess::Options apertiumAt(const QString& dataDir) {
        ApertiumProcess::Options options;
        options.dataDir = dataDir;
        return options;
    }
    static LocalModelClient::Options modelAt(const QUrl& url) {
        LocalModelClient::Options options;
        options.baseUrl = url;
        return options;
    }

    QTemporaryDir dir;
    DefaultsStore defaults{dir.filePath(QStringLiteral("defaults.json"))};
    KeyStore* keysPointer = nullptr;
    Prefs prefs{defaults, [this] { return keysPointer->resolvedGoogleKey(); }};
    KeyStore keys{dir.filePath(QStringLiteral("keys.json")), prefs, QString()}; // no built-in key
    HttpClient http;
    const QUrl nowhere = closedLoopbackUrl();
    LocalModelClient model{modelAt(nowhere)};
    TimerScheduler scheduler;
    LanguageDetector detector;
    FakePackageInstaller installer;
    ApertiumProcess::Options process;
    ApertiumTranslationService translator{scheduler, detector, installer, &model, process};
    TranslationCoordinator coordinator;
    TranslationSessionHost host{coordinator, translator};
    EngineRouter router{prefs, keys, http, model, coordinator, nowhere};
};

const QString englishText = QStringLiteral(
    "The city council approved a new plan to improve public transport next year. Many "
    "residents said that they were happy with the decision.");

// English to Portuguese goes through Spanish; only English-Spanish is installed. The panel's
// translation detects English, finds the Spanish-Portuguese pack missing, installs it with the
// note showing, then translates.
TEST(DeviceTranslationRoute, AMissingPackIsInstalledWithTheNoteShowingThenUsed) {
    QTemporaryDir data;
    QDir(data.path()).mkpath(QStringLiteral("modes"));
    const auto installMode = [&](const QString& name) {
        ASSERT_TRUE(QFile::copy(QStringLiteral("/usr/share/apertium/modes/") + name,
                                data.filePath(QStringLiteral("modes/") + name)));
    };
    installMode(QStringLiteral("eng-spa.mode"));
    installMode(QStringLiteral("spa-eng.mode"));
    DeviceRoute device(data.path());
    device.installer.onInstall = [&](const QStringList&) {
        installMode(QStringLiteral("es-pt.mode"));
        installMode(QStringLiteral("pt-es.mode"));
    };
    QStringList notes;
    QObject::connect(&device.coordinator, &TranslationCoordinator::preparationNoteChanged, [&] {
        notes.append(device.coordinator.preparationNote().value_or(QStringLiteral("-")));
    });

    const EngineOutcome outcome =
        runToEnd(device.router.translate(englishText, TargetLanguage::portuguese()), 60000);

    EXPECT_EQ(device.installer.installs, QList<QStringList>{{QStringLiteral("apertium-es-pt")}});
    EXPECT_EQ(notes,
              (QStringList{QStringLiteral("Baixando pacote de idioma…"), QStringLiteral("-")}));
    EXPECT_EQ(outcome.engine, EngineKind::onDevice);
    EXPECT_TRUE(outcome.text.contains(QStringLiteral("transporte público")))
        << outcome.text.toStdString();
}

TEST(DeviceTranslationRoute, WithNoKeyAndNoNetworkEnglishBecomesPortugueseOnTheDevice) {
    DeviceRoute device;
    const EngineOutcome outcome =
        runToEnd(device.router.translate(englishText, TargetLanguage::portuguese()), 60000);

    EXPECT_EQ(outcome.engine, EngineKind::onDevice);
    EXPECT_FALSE(outcome.usedFallback); // no online engine was usable, so none was tried
    EXPECT_EQ(device.detector.candidates(outcome.text).value(0), QStringLiteral("pt"))
        << outcome.text.toStdString();
    EXPECT_TRUE(outcome.text.contains(QStringLiteral("transporte público")))
        << outcome.text.toStdString();
    EXPECT_TRUE(device.installer.installs.isEmpty()); // the installed pairs were enough
}

} // namespace
