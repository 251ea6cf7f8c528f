#include "engine_test_support.h"
#include "engines/reformulator.h"
#include "fakes/fake_language_services.h"

#include <gtest/gtest.h>

using namespace ovra;
using namespace ovra::test;

namespace {

TEST(OnDeviceAI, OpensOneSessionPerCallWithTheInstructionsAndTrims) {
    FakeLanguageModel model;
    model.replies = {QStringLiteral("\n\n  Texto novo.  \n")};
    EXPECT_EQ(runToEnd(Reformulator::reformulateWithLocalModel(model, QStringLiteral(" a b "))),
              QStringLiteral("Texto novo."));
    runToEnd(OnDeviceAI::runWithLocalModel(model, QStringLiteral("resuma"), QStringLiteral("c")));
    EXPECT_EQ(
        model.sessionInstructions,
        (QStringList{QStringLiteral("Reescreva mantendo o idioma e o sentido, de forma clara e "
                                    "natural; responda só com o texto reescrito"),
                     QStringLiteral("resuma")}));
    ASSERT_EQ(model.turns.size(), 2u);
    EXPECT_EQ(model.turns[0].prompt, QStringLiteral(" a b ")); // the text is the prompt, unchanged
    EXPECT_EQ(model.turns[1].session, 1);
}

TEST(OnDeviceAI, FailuresBecomeReformulatorErrors) {
    FakeLanguageModel model;
    model.available = false;
    auto error = expectFailure<ReformulatorError>(
        OnDeviceAI::runWithLocalModel(model, QStringLiteral("i"), QStringLiteral("t")));
    EXPECT_EQ(error.kind(), ReformulatorError::Kind::unavailable);
    EXPECT_EQ(error.description(), QStringLiteral("IA no aparelho indisponível neste computador"));
    EXPECT_TRUE(model.sessionInstructions.isEmpty());

    model.available = true;
    model.replies = {QStringLiteral(" \n\t"), failure(Error(QStringLiteral("modelo caiu"))),
                     failure(std::runtime_error("internal detail")),
                     failure(ReformulatorError::unavailable())};
    error = expectFailure<ReformulatorError>(
        Reformulator::reformulateWithLocalModel(model, QStringLiteral("t")));
    EXPECT_EQ(error.description(), QStringLiteral("A IA não devolveu texto. Tente de novo."));
    error = expectFailure<ReformulatorError>(
        Reformulator::reformulateWithLocalModel(model, QStringLiteral("t")));
    EXPECT_EQ(error.kind(), ReformulatorError::Kind::underlying);
    EXPECT_EQ(error.description(), QStringLiteral("modelo caiu"));
    error = expectFailure<ReformulatorError>(
        Reformulator::reformulateWithLocalModel(model, QStringLiteral("t")));
    EXPECT_FALSE(error.description().contains(QStringLiteral("internal")));
    error = expectFailure<ReformulatorError>(
        Reformulator::reformulateWithLocalModel(model, QStringLiteral("t")));
    EXPECT_EQ(error.kind(), ReformulatorError::Kind::unavailable);
}

TEST(OnDeviceAI, CancellationIsNotWrappedAsAnError) {
    FakeLanguageModel model;
    model.holdReplies = true;
    CancelSource cancel;
    auto task = Reformulator::reformulateWithLocalModel(model, QStringLiteral("t"), cancel.token());
    ASSERT_EQ(model.heldCount(), 1u);
    cancel.cancel();
    expectFailure<CancelledError>(std::move(task));
}

} // namespace
