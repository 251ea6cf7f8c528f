// The logic's own cost of the worst-case capture against an in-memory accessibility tree: nothing
// is found, so the focused element, the pointer walk (12 elements) and two breadth-first searches
// of 350 elements each all run. The Linux layer adds its bus round trips on top of this figure.
#include "capture/accessibility_bridge.h"
#include "fakes/fake_capture_platform.h"

#include <benchmark/benchmark.h>

using namespace ovra;
using namespace ovra::test;

namespace {

// A root with `fanOut` children per element down to `depth`: more than 350 elements in reach.
void grow(const std::shared_ptr<FakeNode>& node, int fanOut, int depth) {
    if (depth == 0)
        return;
    for (int i = 0; i < fanOut; ++i)
        grow(node->addChild(), fanOut, depth - 1);
}

void BM_WorstCaseCaptureSelection(benchmark::State& state) {
    constexpr qint32 pid = 42;
    FakeCapturePlatform fake;
    fake.workspace.frontmost = fake.workspace.launch({pid, QStringLiteral("org.example.Big"), {}});
    const auto app = fake.accessibility.application(pid);

    // The focused element: a document with a large tree and no selection anywhere.
    const auto document = app->addChild(QStringLiteral("document"));
    grow(document, 4, 5);
    app->focused = document;

    // The pointer sits 12 levels down another branch, above a large subtree of its own.
    auto pointed = app->addChild(QStringLiteral("web area"));
    for (int i = 0; i < 12; ++i)
        pointed = pointed->addChild();
    grow(pointed, 4, 5);
    fake.accessibility.nodeAtPoint = pointed;

    AccessibilityBridge bridge(fake.accessibility, fake.workspace);
    for (auto _ : state) {
        auto snapshot = bridge.captureSelection(QPointF(100, 100));
        benchmark::DoNotOptimize(snapshot);
    }
    const int examined = FakeAccessibility::examinedIn(app);
    state.counters["examined_per_capture"] =
        benchmark::Counter(double(examined) / double(state.iterations()));
}

} // namespace

BENCHMARK(BM_WorstCaseCaptureSelection)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
