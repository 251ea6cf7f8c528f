// Cost of the accessibility calls the selection capture makes, against a live GTK application.
// Run inside the headless session:
//   tests/e2e/run-headless.sh -- <build>/bench/e2e/bench_e2e_platform_atspi
#include "support/e2e_session.h"

#include "platform/linux/atspi/atspi_accessibility_services.h"
#include "platform/linux/session/linux_platform.h"
#include "platform/linux/session/pixel_scaling.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>
#include <cstdio>

namespace {

using namespace ovra;
using ovra::e2e::TargetApp;

platform::LinuxPlatform* platformUnderTest = nullptr;
AccessibilityServices* accessibility = nullptr;
TargetApp* target = nullptr;
AccessibleElement focusedText;
const TextRange word{12, 5}; // "naïve" after "Olá café 😀 "

void BM_ApplicationElement(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(accessibility->applicationElement(target->pid()));
    }
}

void BM_FocusedElementInApplication(benchmark::State& state) {
    const AccessibleElement app = accessibility->applicationElement(target->pid());
    for (auto _ : state) {
        benchmark::DoNotOptimize(accessibility->focusedElement(app));
    }
}

void BM_SystemFocusedElement(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(accessibility->systemFocusedElement());
    }
}

void BM_SelectedText(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(accessibility->selectedText(focusedText));
    }
}

void BM_SelectedTextRange(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(accessibility->selectedTextRange(focusedText));
    }
}

void BM_BoundsForRange(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(accessibility->boundsForRange(focusedText, word));
    }
}

void BM_FrontmostApplication(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(platformUnderTest->workspace().frontmostApplication());
    }
}

BENCHMARK(BM_ApplicationElement)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FocusedElementInApplication)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SystemFocusedElement)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SelectedText)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SelectedTextRange)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BoundsForRange)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FrontmostApplication)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    auto platform = platform::LinuxPlatform::create();
    if (!platform) {
        std::fprintf(stderr, "no X server: run through tests/e2e/run-headless.sh\n");
        return 1;
    }
    e2e::setConnectionToDrain(&platform->connection());
    TargetApp gtk(TargetApp::Kind::Gtk, QStringLiteral("Ovra bench target"));
    if (!gtk.start() || !gtk.activate()) {
        std::fprintf(stderr, "the GTK target did not come up\n");
        return 1;
    }
    platformUnderTest = platform.get();
    // As the accessibility thread makes them, called here on the main thread.
    platform::X11WorkspaceServices windows(platform->connection(),
                                           platform::DesktopEntries(QStringList()));
    platform::AtspiAccessibilityServices services(
        [&windows](QPointF point) { return windows.windowOwnerAt(point); },
        [&windows](qint32 pid) { return windows.windowArea(pid); },
        platform::AtspiAccessibilityServices::Extents::asToolkitsReport,
        platform::scalingBy(&platform::DevicePixels::ofQtScreens));
    accessibility = &services;
    target = &gtk;
    e2e::xdotool(QStringLiteral("key ctrl+Home") + QStringLiteral(" Right").repeated(11) +
                 QStringLiteral(" shift+Right").repeated(5));
    auto& ax = *accessibility;
    e2e::waitUntil([&] {
        const auto focused = ax.focusedElement(ax.applicationElement(gtk.pid()));
        if (!focused.ok())
            return false;
        const auto text = ax.selectedText(focused.value);
        if (!text.ok() || text.value != u"naïve")
            return false;
        focusedText = focused.value;
        return true;
    });
    if (focusedText.isNull()) {
        std::fprintf(stderr, "no selection in the GTK target\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    focusedText = {};
    e2e::setConnectionToDrain(nullptr);
    return 0;
}
