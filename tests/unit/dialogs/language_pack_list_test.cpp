#include "dialogs/language_pack_list.h"
#include "fakes/fake_language_services.h"
#include "support/errors.h"

#include "support/task_runner.h"
#include <gtest/gtest.h>
#include <qcoro/qcorotask.h>

using namespace ovra;
using namespace ovra::test;

namespace {

using PackStatus = LanguagePackList::PackStatus;
using Availability = LanguageAvailabilityStatus;

TEST(LanguagePackList, ListsTheTwentyPacksAndMapsTheirAvailability) {
    ASSERT_EQ(LanguagePackList::packCodes().size(), 20);
    EXPECT_EQ(LanguagePackList::packCodes().constFirst(), QStringLiteral("ar"));
    EXPECT_EQ(LanguagePackList::packCodes().constLast(), QStringLiteral("vi"));

    FakeTranslationService service;
    service.availability[{QStringLiteral("pt"), QStringLiteral("es")}] = Availability::installed;
    service.availability[{QStringLiteral("pt"), QStringLiteral("fr")}] = Availability::supported;
    // The base row reads installed whatever the translator says about it.
    service.availability[{QStringLiteral("pt"), QStringLiteral("pt")}] = Availability::unsupported;
    LanguagePackList list(service, QStringLiteral("pt"));
    EXPECT_EQ(list.status(QStringLiteral("es")), PackStatus::checking);

    runToEnd(list.refreshPackStatuses());
    EXPECT_EQ(list.packStatuses().size(), 20u);
    EXPECT_EQ(list.status(QStringLiteral("pt")), PackStatus::installed);
    EXPECT_EQ(list.status(QStringLiteral("es")), PackStatus::installed);
    EXPECT_EQ(list.status(QStringLiteral("fr")), PackStatus::available);
    EXPECT_EQ(list.status(QStringLiteral("ja")), PackStatus::unsupported);
}

TEST(LanguagePackList, ChangingTheBaseQueriesEveryRowAgain) {
    FakeTranslationService service;
    service.availability[{QStringLiteral("en"), QStringLiteral("pt")}] = Availability::supported;
    LanguagePackList list(service, QStringLiteral("pt"));
    runToEnd(list.refreshPackStatuses());
    EXPECT_EQ(list.status(QStringLiteral("en")), PackStatus::unsupported);

    list.setPackBaseCode(QStringLiteral("en")); // refreshes by itself
    EXPECT_EQ(list.status(QStringLiteral("en")), PackStatus::installed);
    EXPECT_EQ(list.status(QStringLiteral("pt")), PackStatus::available);
}

TEST(LanguagePackList, ADownloadShowsProgressThenTheRealStatus) {
    FakeTranslationService service;
    service.holdPreparation = true;
    service.availability[{QStringLiteral("pt"), QStringLiteral("fr")}] = Availability::supported;
    LanguagePackList list(service, QStringLiteral("pt"));
    QStringList finished;
    QObject::connect(&list.packCoordinator(), &PackDownloadCoordinator::finished,
                     [&](const QString& code) { finished << code; });

    list.downloadPack(QStringLiteral("fr"));
    EXPECT_EQ(list.status(QStringLiteral("fr")), PackStatus::downloading);
    ASSERT_EQ(service.sessionsMade.size(), 1u);
    EXPECT_EQ(service.sessionsMade[0].source, QStringLiteral("pt"));
    EXPECT_EQ(service.sessionsMade[0].target, QStringLiteral("fr"));
    // A refresh while it runs keeps the row as downloading.
    runToEnd(list.refreshPackStatuses());
    EXPECT_EQ(list.status(QStringLiteral("fr")), PackStatus::downloading);

    service.availability[{QStringLiteral("pt"), QStringLiteral("fr")}] = Availability::installed;
    service.finishPreparation();
    EXPECT_EQ(finished, QStringList{QStringLiteral("fr")});
    EXPECT_FALSE(list.packCoordinator().downloadingCode());
    EXPECT_EQ(list.status(QStringLiteral("fr")), PackStatus::installed);
}

TEST(LanguagePackList, AFailedDownloadSaysWhyAndShowsThePackAgain) {
    FakeTranslationService service;
    service.availability[{QStringLiteral("pt"), QStringLiteral("fr")}] = Availability::supported;
    service.prepareFailures = {std::make_exception_ptr(Error(QStringLiteral("sem PackageKit"))),
                               std::make_exception_ptr(CancelledError())};
    LanguagePackList list(service, QStringLiteral("pt"));
    QStringList messages;
    QObject::connect(&list, &LanguagePackList::downloadFailed,
                     [&](const QString& message) { messages << message; });

    list.downloadPack(QStringLiteral("fr"));
    EXPECT_EQ(messages, QStringList{QStringLiteral("sem PackageKit")});
    EXPECT_EQ(list.packCoordinator().lastFailure(), QStringLiteral("sem PackageKit"));
    EXPECT_EQ(list.status(QStringLiteral("fr")), PackStatus::available);
    EXPECT_EQ(list.failure(QStringLiteral("fr")), QStringLiteral("sem PackageKit")); // on its row
    EXPECT_FALSE(list.failure(QStringLiteral("es")));

    // The user closing the system's dialog is no failure to report.
    list.downloadPack(QStringLiteral("fr"));
    EXPECT_EQ(messages.size(), 1);
    EXPECT_FALSE(list.packCoordinator().lastFailure());
    EXPECT_FALSE(list.failure(QStringLiteral("fr"))); // the new attempt replaced the old reason
    EXPECT_EQ(list.status(QStringLiteral("fr")), PackStatus::available);
}

TEST(PackDownloadCoordinator, SamePairInvalidatesAnotherReplacesAndEveryAttemptReports) {
    FakeTranslationService service;
    service.holdPreparation = true;
    PackDownloadCoordinator coordinator(service);
    QStringList reports;
    coordinator.onFinished = [&](const QString& code) { reports << code; };

    coordinator.download(QStringLiteral("pt"), QStringLiteral("fr"), QStringLiteral("fr"));
    const TranslationConfiguration first = *coordinator.configuration();
    coordinator.download(QStringLiteral("pt"), QStringLiteral("fr"), QStringLiteral("fr"));
    EXPECT_TRUE(coordinator.configuration()->sameLanguages(first));
    EXPECT_EQ(coordinator.configuration()->generation, first.generation + 1);
    coordinator.download(QStringLiteral("pt"), QStringLiteral("es"), QStringLiteral("es"));
    EXPECT_EQ(coordinator.configuration()->target, QStringLiteral("es"));
    EXPECT_EQ(service.sessionsMade.size(), 3u);
    EXPECT_EQ(coordinator.downloadingCode(), QStringLiteral("es"));

    service.finishPreparation();
    // One report per finished session; the latest one clears the download state.
    EXPECT_EQ(reports.size(), 3);
    EXPECT_FALSE(coordinator.downloadingCode());
}

TEST(PackDownloadCoordinator, EndingWhileADownloadRunsReportsNothing) {
    FakeTranslationService service;
    service.holdPreparation = true;
    int reports = 0;
    {
        PackDownloadCoordinator coordinator(service);
        coordinator.onFinished = [&](const QString&) { ++reports; };
        coordinator.download(QStringLiteral("pt"), QStringLiteral("fr"), QStringLiteral("fr"));
    }
    service.finishPreparation();
    EXPECT_EQ(reports, 0);
}

} // namespace
