// Apertium for real, with the pairs the setup script installs (English↔Spanish,
// Spanish↔Portuguese).
#include "fakes/fake_language_services.h"
#include "fakes/fake_package_installer.h"
#include "ondevice/apertium/apertium_translation_service.h"
#include "ondevice/apertium/language_detector.h"

#include "support/task_runner.h"
#include "support/virtual_clock.h"
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <qcoro/qcorotask.h>

using namespace ovra;
using namespace ovra::test;
using namespace Qt::StringLiterals;

namespace {

const QString englishParagraph =
    u"The city council approved a new plan to improve public transport next year. The plan "
    u"includes more buses, longer opening hours for the train stations and cheaper tickets for "
    u"students and older people. Many residents said that they were happy with the decision."_s;

struct Translator {
    VirtualClock clock;
    LanguageDetector detector;
    FakePackageInstaller installer;
    FakeLanguageModel model;
    ApertiumProcess::Options process;
    std::unique_ptr<ApertiumTranslationService> service;

    QTemporaryDir empty;

    // Over the installed pairs, or over `dataDir`; none: a data folder holding no pair at all.
    explicit Translator(std::optional<QString> dataDir = u"/usr/share/apertium"_s) {
        model.available = false;
        process.dataDir = dataDir.value_or(empty.path());
        service = std::make_unique<ApertiumTranslationService>(clock, detector, installer, &model,
                                                               process);
    }
    QString translate(const QString& text, const QString& target) {
        return runToEnd(service->makeSession({std::nullopt, target, 0})->translate(text, {}));
    }
    LanguageAvailabilityStatus status(const QString& source, const QString& target) {
        return runToEnd(service->status(source, target, {}));
    }
};

// Runs the loop until `done` holds (a real child process is awaited); false after `limitMs`.
template <typename Predicate> bool pumpUntil(Predicate done, int limitMs = 10000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < limitMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return done();
}

// Whether a live (not yet dead) process still belongs to process group `group`: the Apertium
// script starts a pipeline, and all of it must end.
bool groupHasLiveProcess(qint64 group) {
    const QStringList entries = QDir(u"/proc"_s).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        QFile stat(u"/proc/"_s + entry + u"/stat"_s);
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (name) state ppid pgrp ...": the name may hold spaces, so read after its ')'.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 2 && fields[2].toLongLong() == group && fields[0] != "Z" &&
            fields[0] != "X")
            return true;
    }
    return false;
}

// English to Portuguese through the Spanish pivot is followed through the router in
// device_translation_route_test.
TEST(ApertiumTranslation, DetectsTranslatesEnglishToSpanishAndReportsAvailabilityOfPairs) {
    Translator translator;
    // The detector recognises common languages, and none in a word or without its data.
    const QStringList english = translator.detector.candidates(englishParagraph);
    ASSERT_FALSE(english.isEmpty());
    EXPECT_EQ(english.constFirst(), u"en"_s);
    EXPECT_EQ(translator.detector
                  .candidates(u"O conselho da cidade aprovou um novo plano para "
                              u"melhorar o transporte público no próximo ano."_s)
                  .value(0),
              u"pt"_s);
    EXPECT_TRUE(translator.detector.candidates(u"ok"_s).isEmpty());

    LanguageDetector missing(u"/nonexistent/"_s);
    EXPECT_TRUE(missing.candidates(englishParagraph).isEmpty());

    const QString spanish = translator.translate(englishParagraph, u"es"_s);
    EXPECT_EQ(translator.detector.candidates(spanish).value(0), u"es"_s) << spanish.toStdString();
    EXPECT_TRUE(spanish.contains(u"aprobó"_s)) << spanish.toStdString();
    EXPECT_EQ(translator.translate(spanish, u"es"_s), spanish);
    EXPECT_TRUE(translator.model.sessionInstructions.isEmpty());

    EXPECT_EQ(translator.status(u"en"_s, u"es"_s), LanguageAvailabilityStatus::installed);
    EXPECT_EQ(translator.status(u"pt"_s, u"en"_s), LanguageAvailabilityStatus::installed);
    EXPECT_EQ(translator.status(u"pt"_s, u"it"_s), LanguageAvailabilityStatus::supported);
    EXPECT_EQ(translator.status(u"pt"_s, u"ja"_s), LanguageAvailabilityStatus::unsupported);
    EXPECT_EQ(translator.status(u"pt"_s, u"zh-Hans"_s), LanguageAvailabilityStatus::unsupported);

    Translator bare(std::nullopt);
    EXPECT_EQ(bare.status(u"en"_s, u"es"_s), LanguageAvailabilityStatus::supported);
}

TEST(ApertiumTranslation, WithoutAPairUsesTheLocalModelElseSaysWhichLanguages) {
    Translator translator(std::nullopt);
    auto session = translator.service->makeSession({std::nullopt, u"pt"_s, 0});
    auto error = failureOf<DeviceTranslationError>(session->translate(englishParagraph, {}));
    EXPECT_EQ(error.description(), u"Falta o pacote de idioma para traduzir de inglês "
                                   u"para português no aparelho. Baixe-o nas Preferências."_s);
    auto japanese = translator.service->makeSession({std::nullopt, u"ja"_s, 0});
    error = failureOf<DeviceTranslationError>(japanese->translate(englishParagraph, {}));
    EXPECT_EQ(error.description(), u"O aparelho não traduz de inglês para japonês."_s);

    translator.model.available = true;
    translator.model.replies = {u"日本語の文"_s};
    EXPECT_EQ(runToEnd(japanese->translate(englishParagraph, {})), u"日本語の文"_s);
    ASSERT_EQ(translator.model.sessionInstructions.size(), 1);
    EXPECT_TRUE(translator.model.sessionInstructions[0].contains(u"Japanese"_s));
    ASSERT_EQ(translator.model.turns.size(), 1u);
    EXPECT_EQ(translator.model.turns[0].prompt, englishParagraph);
}

// A translation long enough to be still running when it is cancelled or runs out of time.
struct LongTranslation {
    Translator translator;
    qint64 childPid = 0;
    decltype(translator.service->makeSession({})) session;

    QCoro::Task<QString> start(CancelToken token) {
        translator.process.onStarted = [this](qint64 pid) { childPid = pid; };
        translator.service = std::make_unique<ApertiumTranslationService>(
            translator.clock, translator.detector, translator.installer, &translator.model,
            translator.process);
        QString longText;
        for (int i = 0; i < 400; ++i)
            longText += englishParagraph + QLatin1Char('\n');
        session = translator.service->makeSession({u"en"_s, u"es"_s, 0});
        return session->translate(longText, std::move(token));
    }
    // Reaped: the id names no process any more, and the pipeline it started is gone too. The
    // kernel and the loop take a moment to reap after SIGKILL, so wait for it, within a bound.
    void expectChildGone() const {
        EXPECT_TRUE(pumpUntil(
            [this] {
                return !QDir(u"/proc/"_s + QString::number(childPid)).exists() &&
                       !groupHasLiveProcess(childPid);
            },
            5000));
    }
};

// Cancelled, or out of time (with a clear message): the child and its whole pipeline end.
TEST(ApertiumTranslation, CancellingOrATimeOutEndsTheChildProcess) {
    for (const bool cancelled : {true, false}) {
        LongTranslation running;
        CancelSource cancel;
        auto task = running.start(cancel.token());
        ASSERT_TRUE(pumpUntil([&] { return running.childPid != 0; }));
        EXPECT_TRUE(groupHasLiveProcess(running.childPid));
        if (cancelled) {
            cancel.cancel();
            failureOf<CancelledError>(std::move(task));
        } else {
            running.translator.clock.advance(std::chrono::seconds(30));
            EXPECT_EQ(failureOf<DeviceTranslationError>(std::move(task)).description(),
                      u"A tradução no aparelho demorou demais e foi interrompida."_s);
        }
        running.expectChildGone();
    }
}

TEST(ApertiumPreparation, InstallsTheMissingPairsThroughThePackageService) {
    QTemporaryDir data;
    QDir(data.path()).mkpath(u"modes"_s);
    Translator translator(data.path());
    translator.installer.onInstall = [&](const QStringList& packages) {
        for (const QString& package : packages) {
            const QString pair = package.mid(u"apertium-"_s.size());
            const QStringList sides = pair.split(QLatin1Char('-'));
            for (const QString& name :
                 QStringList{sides[0] + u'-' + sides[1], sides[1] + u'-' + sides[0]}) {
                QFile file(data.filePath(u"modes/"_s + name + u".mode"_s));
                ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            }
        }
    };
    auto session = translator.service->makeSession({u"en"_s, u"pt"_s, 0});
    EXPECT_FALSE(runToEnd(session->isReady({})));
    runToEnd(session->prepareTranslation({}));
    ASSERT_EQ(translator.installer.installs.size(), 1);
    EXPECT_EQ(translator.installer.installs[0],
              QStringList({u"apertium-eng-spa"_s, u"apertium-es-pt"_s}));
    EXPECT_TRUE(runToEnd(session->isReady({})));
    runToEnd(session->prepareTranslation({})); // nothing left to install
    EXPECT_EQ(translator.installer.installs.size(), 1);

    // Nothing to download for an unsupported pair: ready, and preparing says why not.
    auto japanese = translator.service->makeSession({u"en"_s, u"ja"_s, 0});
    EXPECT_TRUE(runToEnd(japanese->isReady({})));
    EXPECT_EQ(failureOf<DeviceTranslationError>(japanese->prepareTranslation({})).description(),
              u"O aparelho não traduz de inglês para japonês."_s);
}

TEST(ApertiumPreparation, WithoutThePackageServiceSaysSo) {
    Translator translator(std::nullopt);
    translator.installer.present = false;
    auto session = translator.service->makeSession({u"pt"_s, u"it"_s, 0});
    EXPECT_FALSE(runToEnd(session->isReady({})));
    const auto error = failureOf<PackageInstallError>(session->prepareTranslation({}));
    EXPECT_EQ(error.description(), PackageInstaller::absentMessage());
    EXPECT_TRUE(translator.installer.installs.isEmpty());

    // With the local model running, translating needs no pack, but a download asked for (the
    // preferences' "Baixar") still says why none can come.
    translator.model.available = true;
    translator.model.replies = {u"Buongiorno"_s};
    EXPECT_TRUE(runToEnd(session->isReady({})));
    EXPECT_EQ(failureOf<PackageInstallError>(session->prepareTranslation({})).description(),
              PackageInstaller::absentMessage());
    EXPECT_EQ(runToEnd(session->translate(u"Bom dia"_s, {})), u"Buongiorno"_s);

    CancelSource cancel;
    cancel.cancel();
    failureOf<CancelledError>(session->prepareTranslation(cancel.token()));
}

} // namespace
