#pragma once

// The panel controller showing the real floating panel window, and the benchmark programs' main,
// on the offscreen platform: what the panel benchmarks share.
#include "fakes/fake_screens.h"
#include "panel/panel_controller.h"
#include "panel/widgets/floating_panel_window.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <functional>
#include <memory>

namespace ovra::test {

struct FloatingPanelRig {
    FakeScreens screens;
    FloatingPanelWindow* window = nullptr; // once the controller made it
    PanelController controller;

    FloatingPanelRig(std::function<std::unique_ptr<PanelViewModel>()> makeViewModel,
                     Scheduler& scheduler)
        : controller{{std::move(makeViewModel),
                      [this](PanelViewModel& model) {
                          auto made = std::make_unique<FloatingPanelWindow>(model);
                          window = made.get();
                          return made;
                      },
                      [](qint32) { return QList<QRectF>{}; }, screens, scheduler}} {}
};

inline int runBenchmarksOffscreen(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace ovra::test
