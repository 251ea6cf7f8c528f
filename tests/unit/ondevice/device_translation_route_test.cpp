// The whole device path with nothing online: no keys, no model server, the real Apertium pairs
// the setup script installs. English chosen for Portuguese must come back in Portuguese.
#include "engines/engine_router.h"
#include "engines/local_model/local_model_client.h"
#include "engines/translation_coordinator.h"
#include "fakes/fake_package_installer.h"
#include "ondevice/apertium/apertium_translation_service.h"
#include "ondevice/apertium/language_detector.h"
#include "settings/defaults_store.h"
#include "settings/key_store.h"
#include "settings/prefs.h"
#include "support/task_runner.h"
#include "support/timer_scheduler.h"

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

TEST(DeviceTranslationRoute, WithNoKeyAndNoNetworkEnglishBecomesPortugueseOnTheDevice) {
    QTemporaryDir dir;
    DefaultsStore defaults(dir.filePath(QStringLiteral("defaults.json")));
    KeyStore* keysPointer = nullptr;
    Prefs prefs(defaults, [&] { return keysPointer->resolvedGoogleKey(); });
    KeyStore keys(dir.filePath(QStringLiteral("keys.json")), prefs, QString()); // no built-in key
    keysPointer = &keys;
    HttpClient http;

    const QUrl nowhere = closedLoopbackUrl();
    LocalModelClient::Options modelOptions;
    modelOptions.baseUrl = nowhere;
    LocalModelClient model(modelOptions);

    TimerScheduler scheduler;
    LanguageDetector detector;
    FakePackageInstaller installer;
    ApertiumTranslationService translator(scheduler, detector, installer, &model);
    TranslationCoordinator coordinator;
    TranslationSessionHost host(coordinator, translator);
    host.setActive(true);
    EngineRouter router(prefs, keys, http, model, coordinator, nowhere);

    const QString english = QStringLiteral(
        "The city council approved a new plan to improve public transport next year. Many "
        "residents said that they were happy with the decision.");
    const EngineOutcome outcome =
        runToEnd(router.translate(english, TargetLanguage::portuguese()), 60000);

    EXPECT_EQ(outcome.engine, EngineKind::onDevice);
    EXPECT_FALSE(outcome.usedFallback); // no online engine was usable, so none was tried
    EXPECT_EQ(detector.candidates(outcome.text).value(0), QStringLiteral("pt"))
        << outcome.text.toStdString();
    EXPECT_TRUE(outcome.text.contains(QStringLiteral("transporte público")))
        << outcome.text.toStdString();
    EXPECT_TRUE(installer.installs.isEmpty()); // the installed pairs were enough
}

} // namespace
