// The floating panel on the offscreen platform: from show(snapshot:) to the first painted frame,
// and one re-fit after the content grew. Both should stay within one frame (16 ms).
// Links the widgets (ovra_ui) besides the logic.
#include "floating_panel_rig.h"
#include "panel/widgets/panel_view.h"
#include "support/panel_environment.h"

#include <QImage>

using namespace ovra;
using namespace ovra::test;

namespace {

struct PanelRig : PanelEnvironment, FloatingPanelRig {
    PanelRig() : FloatingPanelRig([this] { return makeViewModel(); }, clock) {}

    static SelectionSnapshot snapshot(int i) {
        SelectionSnapshot s;
        s.text = QStringLiteral("Texto selecionado número %1 para o painel.").arg(i);
        s.pid = 100 + i % 3;
        s.isEditable = true;
        s.screenBounds = QRectF(400 + i % 7 * 10, 500, 180, 18);
        return s;
    }

    // Paints the window as the compositor would ask it to.
    void paint() {
        QImage frame(window->size(), QImage::Format_ARGB32_Premultiplied);
        frame.fill(Qt::transparent);
        window->render(&frame);
        benchmark::DoNotOptimize(frame.constBits());
    }
};

void BM_ShowToFirstPaintedFrame(benchmark::State& state) {
    PanelRig rig;
    int i = 0;
    for (auto _ : state) {
        rig.controller.show(PanelRig::snapshot(++i));
        rig.paint();
        state.PauseTiming();
        rig.controller.hide();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ShowToFirstPaintedFrame)->Unit(benchmark::kMillisecond);

void BM_RefitAfterResult(benchmark::State& state) {
    PanelRig rig;
    rig.controller.show(PanelRig::snapshot(1));
    int i = 0;
    for (auto _ : state) {
        state.PauseTiming();
        rig.controller.viewModel()->translate();
        ++i;
        rig.engines->last()->succeed(
            QStringLiteral("Resultado %1 com texto bastante longo para quebrar em várias linhas "
                           "dentro do painel flutuante.")
                .arg(i)
                .repeated(1 + i % 3));
        state.ResumeTiming();
        rig.controller.refit();
        rig.paint();
    }
}
BENCHMARK(BM_RefitAfterResult)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    return runBenchmarksOffscreen(argc, argv);
}
