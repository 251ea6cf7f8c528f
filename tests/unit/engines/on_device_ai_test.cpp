#include "engine_test_support.h"
#include "engines/reformulator.h"
#include "fakes/fake_language_services.h"

#include <gtest/gtest.h>

using namespace ovra;
using namespace ovra::test;
using namespace Qt::StringLiterals;

namespace {

TEST(OnDeviceAI, OpensOneSessionPerCallWithTheInstructionsAndTrims) {
    FakeLanguageModel model;
    model.replies = {u"\n\n  Texto novo.  \n"_s};
    EXPECT_EQ(runToEnd(Reformulator::reformulateWithLocalModel(model, u" a b "_s)),
              u"Texto novo."_s);
    runToEnd(OnDeviceAI::runWithLocalModel(model, u"resuma"_s, u"c"_s));
    EXPECT_EQ(model.sessionInstructions,
              (QStringList{u"Reescreva mantendo o idioma e o sentido, de forma clara e "
                           u"natural; responda só com o texto reescrito"_s,
                           u"resuma"_s}));
    ASSERT_EQ(model.turns.size(), 2u);
    EXPECT_EQ(model.turns[0].prompt, u" a b "_s); // the text is the prompt, unchanged
    EXPECT_EQ(model.turns[1].session, 1);
}

TEST(OnDeviceAI, FailuresBecomeReformulatorErrors) {
    FakeLanguageModel model;
    model.available = false;
    auto error =
        expectFailure<ReformulatorError>(OnDeviceAI::runWithLocalModel(model, u"i"_s, u"t"_s));
    EXPECT_EQ(error.kind(), ReformulatorError::Kind::unavailable);
    EXPECT_EQ(error.description(), u"IA no aparelho indisponível neste computador"_s);
    EXPECT_TRUE(model.sessionInstructions.isEmpty());

    model.available = true;
    model.replies = {u" \n\t"_s, failure(Error(u"modelo caiu"_s)),
                     failure(std::runtime_error("internal detail")),
                     failure(ReformulatorError::unavailable())};
    const auto next = [&model] {
        return expectFailure<ReformulatorError>(
            Reformulator::reformulateWithLocalModel(model, u"t"_s));
    };
    EXPECT_EQ(next().description(), u"A IA não devolveu texto. Tente de novo."_s);
    error = next();
    EXPECT_EQ(error.kind(), ReformulatorError::Kind::underlying);
    EXPECT_EQ(error.description(), u"modelo caiu"_s);
    EXPECT_FALSE(next().description().contains(u"internal"_s));
    EXPECT_EQ(next().kind(), ReformulatorError::Kind::unavailable);
}

TEST(OnDeviceAI, CancellationIsNotWrappedAsAnError) {
    FakeLanguageModel model;
    model.holdReplies = true;
    CancelSource cancel;
    auto task = Reformulator::reformulateWithLocalModel(model, u"t"_s, cancel.token());
    ASSERT_EQ(model.heldCount(), 1u);
    cancel.cancel();
    expectFailure<CancelledError>(std::move(task));
}

} // namespace
