#include "fakes/fake_language_services.h"
#include "panel/panel_controller.h"
#include "support/panel_environment.h"

#include <gtest/gtest.h>
#include <limits>

using namespace ovra;
using namespace ovra::test;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

struct PanelControllerTest : ::testing::Test {
    PanelEnvironment env;
    FakeScreens screens;
    FakeWorkspace workspace;
    FakeTranslationService translator;
    FakePanelWindow* window = nullptr; // owned by the controller
    QList<qint32> toolbarQueries;
    QList<QRectF> toolbars;
    std::unique_ptr<PanelController> controller;
    QList<std::optional<SelectionSnapshot>> hidden;

    void SetUp() override {
        screens.displays = {{QRectF(0, 0, 1440, 900), QRectF(0, 25, 1440, 875)}};
        controller = std::make_unique<PanelController>(
            PanelController::Dependencies{[this] { return env.makeViewModel(); },
                                          [this](PanelViewModel&) {
                                              auto made = std::make_unique<FakePanelWindow>();
                                              window = made.get();
                                              return made;
                                          },
                                          [this](qint32 pid) {
                                              toolbarQueries.append(pid);
                                              return toolbars;
                                          },
                                          screens, env.clock, &workspace, &translator});
        QObject::connect(controller.get(), &PanelController::hidden,
                         [this](const SelectionSnapshot& s) { hidden.append(s); });
    }
};

} // namespace

TEST_F(PanelControllerTest, ShowPlacesConfiguresAndShowsWithoutAnimation) {
    controller->show(PanelEnvironment::snapshot());
    ASSERT_TRUE(window);
    EXPECT_EQ(toolbarQueries, QList<qint32>{4242});
    EXPECT_EQ(window->layoutPasses, 1);
    ASSERT_EQ(window->frameChanges.size(), 1);
    EXPECT_EQ(window->frameChanges[0].frame, QRectF(330, 464, 340, 120));
    EXPECT_FALSE(window->frameChanges[0].animated);
    EXPECT_TRUE(window->visible);

    // The 60 ms follow-up finds the same frame and leaves the window alone.
    env.clock.advance(60ms);
    EXPECT_EQ(window->frameChanges.size(), 1);

    // The toolbars are read again at the next show, which shows the same window again.
    SelectionSnapshot snapshot = PanelEnvironment::snapshot();
    snapshot.screenBounds = QRectF(600, 480, 200, 20);
    toolbars = {QRectF(0, 315, 1440, 30)};
    controller->show(snapshot);
    EXPECT_EQ(window->currentFrame.y(), 512);
    EXPECT_EQ(toolbarQueries.size(), 2);
    EXPECT_EQ(window->showCount, 2);
}

TEST_F(PanelControllerTest, GrowingContentRefitsAnimatedAndMaySwitchSidesWithinTheHeightRules) {
    controller->show(PanelEnvironment::snapshot());
    PanelViewModel& model = *controller->viewModel();
    model.translate();
    window->contentHeight = 700; // a long result: no room above any more (room above 551)
    env.engines->last()->succeed(u"a long translation"_s);
    env.clock.advance(39ms);
    EXPECT_EQ(window->frameChanges.size(), 1);
    env.clock.advance(1ms);
    ASSERT_EQ(window->frameChanges.size(), 2);
    EXPECT_TRUE(window->frameChanges[1].animated);
    // Neither side fits (room below 270): pinned to the top margin, the side with more room.
    EXPECT_EQ(window->frameChanges[1].frame, QRectF(330, 33, 340, 700));

    // A streamed answer: the panel follows it at once, without an animation per line.
    model.reformulate();
    window->contentHeight = 300;
    env.engines->last()->progress(u"a long"_s);
    env.clock.advance(40ms);
    ASSERT_EQ(window->frameChanges.size(), 3);
    EXPECT_FALSE(window->frameChanges[2].animated);

    // At least 56, whatever the content reports; 120 when there is no content view.
    for (auto [content, height] : {std::pair<std::optional<double>, double>{20, 56},
                                   {std::numeric_limits<double>::quiet_NaN(), 56},
                                   {std::nullopt, 120}}) {
        window->contentHeight = content;
        controller->refit();
        EXPECT_EQ(window->currentFrame.height(), height);
    }
}

// The device translator serves the panel while it shows: a request made once it is hidden waits.
TEST_F(PanelControllerTest, HideReportsTheSnapshotOnceAndFreesTheDeviceTranslator) {
    env.engines->translateOnDevice = true;
    controller->show(PanelEnvironment::snapshot());
    controller->viewModel()->translate();
    EXPECT_EQ(translator.sessionsMade.size(), 1u);
    EXPECT_EQ(controller->viewModel()->resultEngine(), EngineKind::onDevice);
    Q_EMIT controller->viewModel()->hideRequested(); // the close button, or a replacement done
    controller->hide();
    ASSERT_EQ(hidden.size(), 1);
    EXPECT_EQ(hidden[0]->text, u"Bom dia, mundo"_s);
    EXPECT_EQ(window->hideWindowCount, 2);
    EXPECT_FALSE(controller->currentSnapshot());
    EXPECT_TRUE(controller->avoidRects().isEmpty());
    EXPECT_FALSE(controller->viewModel()->snapshot());

    // Layout notifications while hidden do not move the window.
    const qsizetype frames = window->frameChanges.size();
    window->contentHeight = 300;
    env.clock.advance(1s);
    EXPECT_EQ(window->frameChanges.size(), frames);

    TranslationCoordinator& coordinator = env.engines->coordinator;
    [](TranslationCoordinator& c) -> QCoro::Task<void> {
        co_await c.translate(u"Olá"_s, *TargetLanguage::named(u"fr"));
    }(coordinator);
    EXPECT_TRUE(coordinator.hasPendingRequest());
    EXPECT_EQ(translator.sessionsMade.size(), 1u);
}

TEST_F(PanelControllerTest, ThePanelGoesWithItsSourceApplicationAndOnlyWithIt) {
    SelectionSnapshot other = PanelEnvironment::snapshot();
    other.pid = 77;
    controller->show(PanelEnvironment::snapshot());
    ASSERT_TRUE(window);
    workspace.terminate(99); // an unrelated process
    EXPECT_TRUE(window->visible);

    // A new selection in another application moves the watch there.
    controller->show(other);
    EXPECT_EQ(workspace.goneWatcherCount(), 1u);
    workspace.terminate(4242);
    EXPECT_TRUE(window->visible);
    workspace.terminate(77);
    EXPECT_FALSE(window->visible);
    ASSERT_EQ(hidden.size(), 1);
    EXPECT_EQ(hidden[0]->pid, 77);

    // Hidden by the user first: the watch is dropped with it.
    controller->show(PanelEnvironment::snapshot());
    controller->hide();
    EXPECT_EQ(workspace.goneWatcherCount(), 0u);
}
