#include "dialogs/language_pack_list.h"
#include "fakes/fake_language_services.h"
#include "support/errors.h"

#include "support/task_runner.h"
#include <gtest/gtest.h>
#include <qcoro/qcorotask.h>

using namespace ovra;
using namespace ovra::test;
using namespace Qt::StringLiterals;

namespace {

using PackStatus = LanguagePackList::PackStatus;
using Availability = LanguageAvailabilityStatus;

// Changing the base queries every row again.
TEST(LanguagePackList, ListsTheTwentyPacksAndMapsTheirAvailability) {
    ASSERT_EQ(LanguagePackList::packCodes().size(), 20);
    EXPECT_EQ(LanguagePackList::packCodes().constFirst(), u"ar"_s);
    EXPECT_EQ(LanguagePackList::packCodes().constLast(), u"vi"_s);

    FakeTranslationService service;
    service.availability[{u"pt"_s, u"es"_s}] = Availability::installed;
    service.availability[{u"pt"_s, u"fr"_s}] = Availability::supported;
    service.availability[{u"en"_s, u"pt"_s}] = Availability::supported;
    // The base row reads installed whatever the translator says about it.
    service.availability[{u"pt"_s, u"pt"_s}] = Availability::unsupported;
    LanguagePackList list(service, u"pt"_s);
    EXPECT_EQ(list.status(u"es"_s), PackStatus::checking);

    runToEnd(list.refreshPackStatuses());
    EXPECT_EQ(list.packStatuses().size(), 20u);
    EXPECT_EQ(list.status(u"pt"_s), PackStatus::installed);
    EXPECT_EQ(list.status(u"es"_s), PackStatus::installed);
    EXPECT_EQ(list.status(u"fr"_s), PackStatus::available);
    EXPECT_EQ(list.status(u"ja"_s), PackStatus::unsupported);
    EXPECT_EQ(list.status(u"en"_s), PackStatus::unsupported);

    list.setPackBaseCode(u"en"_s); // refreshes by itself
    EXPECT_EQ(list.status(u"en"_s), PackStatus::installed);
    EXPECT_EQ(list.status(u"pt"_s), PackStatus::available);
}

// A failed download says why on its row and shows the pack again; the user closing the system's
// dialog is no failure. One that runs shows as downloading until it ends, then the real status.
TEST(LanguagePackList, ADownloadShowsProgressOrWhyItFailedThenTheRealStatus) {
    FakeTranslationService service;
    service.availability[{u"pt"_s, u"fr"_s}] = Availability::supported;
    service.prepareFailures = {std::make_exception_ptr(Error(u"sem PackageKit"_s)),
                               std::make_exception_ptr(CancelledError())};
    LanguagePackList list(service, u"pt"_s);
    QStringList messages;
    QObject::connect(&list, &LanguagePackList::downloadFailed,
                     [&](const QString& message) { messages << message; });
    QStringList finished;
    QObject::connect(&list.packCoordinator(), &PackDownloadCoordinator::finished,
                     [&](const QString& code) { finished << code; });

    list.downloadPack(u"fr"_s);
    EXPECT_EQ(messages, QStringList{u"sem PackageKit"_s});
    EXPECT_EQ(list.packCoordinator().lastFailure(), u"sem PackageKit"_s);
    EXPECT_EQ(list.status(u"fr"_s), PackStatus::available);
    EXPECT_EQ(list.failure(u"fr"_s), u"sem PackageKit"_s); // on its row
    EXPECT_FALSE(list.failure(u"es"_s));

    list.downloadPack(u"fr"_s);
    EXPECT_EQ(messages.size(), 1);
    EXPECT_FALSE(list.packCoordinator().lastFailure());
    EXPECT_FALSE(list.failure(u"fr"_s)); // the new attempt replaced the old reason
    EXPECT_EQ(list.status(u"fr"_s), PackStatus::available);

    service.holdPreparation = true;
    list.downloadPack(u"fr"_s);
    EXPECT_EQ(list.status(u"fr"_s), PackStatus::downloading);
    ASSERT_EQ(service.sessionsMade.size(), 3u);
    EXPECT_EQ(service.sessionsMade[2].source, u"pt"_s);
    EXPECT_EQ(service.sessionsMade[2].target, u"fr"_s);
    // A refresh while it runs keeps the row as downloading.
    runToEnd(list.refreshPackStatuses());
    EXPECT_EQ(list.status(u"fr"_s), PackStatus::downloading);

    service.availability[{u"pt"_s, u"fr"_s}] = Availability::installed;
    service.finishPreparation();
    EXPECT_EQ(finished, QStringList(3, u"fr"_s)); // every attempt reports its end
    EXPECT_FALSE(list.packCoordinator().downloadingCode());
    EXPECT_EQ(list.status(u"fr"_s), PackStatus::installed);
}

TEST(PackDownloadCoordinator, SamePairInvalidatesAnotherReplacesAndEveryAttemptReports) {
    FakeTranslationService service;
    service.holdPreparation = true;
    auto coordinator = std::make_unique<PackDownloadCoordinator>(service);
    QStringList reports;
    QObject::connect(coordinator.get(), &PackDownloadCoordinator::finished,
                     [&](const QString& code) { reports << code; });

    coordinator->download(u"pt"_s, u"fr"_s, u"fr"_s);
    const TranslationConfiguration first = *coordinator->configuration();
    coordinator->download(u"pt"_s, u"fr"_s, u"fr"_s);
    EXPECT_TRUE(coordinator->configuration()->sameLanguages(first));
    EXPECT_EQ(coordinator->configuration()->generation, first.generation + 1);
    coordinator->download(u"pt"_s, u"es"_s, u"es"_s);
    EXPECT_EQ(coordinator->configuration()->target, u"es"_s);
    EXPECT_EQ(service.sessionsMade.size(), 3u);
    EXPECT_EQ(coordinator->downloadingCode(), u"es"_s);

    service.finishPreparation();
    // One report per finished session; the latest one clears the download state.
    EXPECT_EQ(reports.size(), 3);
    EXPECT_FALSE(coordinator->downloadingCode());

    // Ending while a download runs reports nothing.
    coordinator->download(u"pt"_s, u"fr"_s, u"fr"_s);
    coordinator.reset();
    service.finishPreparation();
    EXPECT_EQ(reports.size(), 3);
}

} // namespace
