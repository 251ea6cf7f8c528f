#include "engine_test_support.h"
#include "engines/translation_coordinator.h"
#include "fakes/fake_language_services.h"
#include "support/cancellation.h"

#include <gtest/gtest.h>

using namespace ovra;
using namespace ovra::test;
using namespace Qt::StringLiterals;

namespace {

// Collects the outcome of a translation started now and finished later.
struct Outcome {
    std::optional<QString> text;
    std::exception_ptr error;
    bool done = false;
    bool cancelled() const { return isCancellation(error); }
};

QCoro::Task<void> collect(QCoro::Task<QString> task, std::shared_ptr<Outcome> outcome) {
    try {
        outcome->text = co_await std::move(task);
    } catch (...) {
        outcome->error = std::current_exception();
    }
    outcome->done = true;
}

class TranslationCoordinatorTest : public ::testing::Test {
protected:
    std::shared_ptr<Outcome> start(const QString& text, const QString& code = u"en"_s,
                                   CancelToken token = {}) {
        auto outcome = std::make_shared<Outcome>();
        collect(coordinator.translate(text, *TargetLanguage::named(code), std::move(token)),
                outcome);
        return outcome;
    }

    TranslationCoordinator coordinator;
    FakeTranslationService service;
};

TEST_F(TranslationCoordinatorTest, WaitsForASessionAndReturnsTheTextUntrimmed) {
    service.translations = {u"  hello \n"_s};
    auto outcome = start(u"olá"_s);
    EXPECT_FALSE(outcome->done);
    ASSERT_TRUE(coordinator.configuration().has_value());
    EXPECT_FALSE(coordinator.configuration()->source.has_value());
    EXPECT_EQ(coordinator.configuration()->target, u"en"_s);

    TranslationSessionHost host(coordinator, service);
    EXPECT_TRUE(service.sessionsMade.empty()); // an inactive host delivers nothing
    host.setActive(true); // a configuration is already published: a session arrives now
    ASSERT_TRUE(outcome->done);
    EXPECT_EQ(outcome->text, u"  hello \n"_s);
    EXPECT_EQ(service.calls, (QStringList{u"isReady"_s, u"translate:olá"_s}));
    EXPECT_FALSE(coordinator.hasPendingRequest());
    // While active, each publication delivers one session.
    outcome = start(u"b"_s);
    EXPECT_EQ(service.sessionsMade.size(), 2u);
    EXPECT_EQ(outcome->text, u"b → en"_s);
}

TEST_F(TranslationCoordinatorTest, NewerRequestOrTheCallersTokenCancelsWaitingAndRunningWork) {
    auto first = start(u"a"_s);
    auto second = start(u"b"_s);
    EXPECT_TRUE(first->done);
    EXPECT_TRUE(first->cancelled());
    EXPECT_FALSE(second->done);
    runToEnd(coordinator.runSession(service.makeSession(*coordinator.configuration())));
    EXPECT_EQ(second->text, u"b → en"_s);

    // Cancelled while waiting: a late session does nothing.
    auto third = start(u"c"_s);
    coordinator.cancelPending();
    EXPECT_TRUE(third->cancelled());
    const QStringList before = service.calls;
    runToEnd(coordinator.runSession(service.makeSession(*coordinator.configuration())));
    EXPECT_EQ(service.calls, before);

    // The caller's token cancels waiting work, and running work with its preparation note.
    CancelSource waiting;
    auto outcome = start(u"d"_s, u"en"_s, waiting.token());
    waiting.cancel();
    EXPECT_TRUE(outcome->cancelled());
    EXPECT_FALSE(coordinator.hasPendingRequest());

    CancelSource running;
    service.ready = false;
    service.holdPreparation = true;
    outcome = start(u"e"_s, u"en"_s, running.token());
    auto session = coordinator.runSession(service.makeSession(*coordinator.configuration()));
    EXPECT_EQ(coordinator.preparationNote(), TranslationCoordinator::preparationNoteText());
    running.cancel();
    EXPECT_TRUE(outcome->cancelled());
    runToEnd(std::move(session));
    EXPECT_FALSE(coordinator.preparationNote().has_value());
    EXPECT_FALSE(service.calls.contains(u"translate:e"_s));
}

TEST_F(TranslationCoordinatorTest, SameTargetInvalidatesAndFreshFlagOrNewTargetRebuilds) {
    start(u"a"_s, u"zh-CN"_s);
    const auto first = *coordinator.configuration();
    start(u"b"_s, u"zh-CN"_s);
    EXPECT_TRUE(coordinator.configuration()->sameLanguages(first));
    EXPECT_EQ(coordinator.configuration()->generation, first.generation + 1);

    // A variant of the same language is a new target, not a reuse of the old session.
    start(u"c"_s, u"zh-TW"_s);
    EXPECT_EQ(coordinator.configuration()->target, u"zh-TW"_s);

    coordinator.setForceFreshSession(true);
    int published = 0;
    QObject::connect(&coordinator, &TranslationCoordinator::configurationChanged,
                     [&] { ++published; });
    start(u"d"_s, u"zh-TW"_s);
    EXPECT_EQ(published, 1);
    EXPECT_FALSE(coordinator.forceFreshSession());
    EXPECT_EQ(coordinator.configuration()->target, u"zh-TW"_s);
}

TEST_F(TranslationCoordinatorTest, PreparationNoteShowsWhileAssetsDownloadAndClearsEitherWay) {
    service.ready = false;
    service.holdPreparation = true;
    auto outcome = start(u"a"_s);
    auto session = coordinator.runSession(service.makeSession(*coordinator.configuration()));
    EXPECT_EQ(coordinator.preparationNote(), u"Baixando pacote de idioma…"_s);
    service.finishPreparation();
    runToEnd(std::move(session));
    EXPECT_EQ(outcome->text, u"a → en"_s);
    EXPECT_FALSE(coordinator.preparationNote().has_value());

    service.ready = false;
    service.holdPreparation = false;
    service.prepareFailures = {std::make_exception_ptr(Error(u"download recusado"_s))};
    outcome = start(u"b"_s);
    runToEnd(coordinator.runSession(service.makeSession(*coordinator.configuration())));
    EXPECT_FALSE(coordinator.preparationNote().has_value());
    ASSERT_TRUE(outcome->error);
    EXPECT_THROW(std::rethrow_exception(outcome->error), Error);
    EXPECT_FALSE(service.calls.contains(u"translate:b"_s));
}

} // namespace
