// Selection to panel on a headless Wayland desktop, printed, never asserted: from the moment an
// application's selection is made (over the accessibility bus, as no input of other applications
// reaches the program there) to the program's panel mapped on XWayland; median and 95th
// percentile over SAMPLES selections. Run inside the desktop the Wayland suites use, e.g.
//   tests/e2e/run-wayland.sh --kde -- build/bench/e2e/bench_e2e_wayland_latency [SAMPLES]
//   tests/e2e/run-wayland.sh --gnome
//     --extension build/tests/e2e/gnome-shell/45/ovra-e2e-windows@ovra.app
//     --extension build/data/gnome-shell/45/ovra@ovra.app
//     -- build/bench/e2e/bench_e2e_wayland_latency
// (one command line).
// OVRA_BENCH_TARGET picks the application: gtk (default), qt or gnome-text-editor.
#include "app/desktop_session.h"

#include <QGuiApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <poll.h>

#include <X11/Xlib.h>
// Last: Xlib's macros clash with Qt's headers.
#include "mapping_timing.h"

namespace {

using namespace ovra::e2e;
using namespace ovra::bench;

int run(int samples) {
    const auto compositor = CompositorWindows::ofThisDesktop();
    if (!compositor || !compositor->isReady()) {
        std::puts("no word from the compositor: run this through tests/e2e/run-wayland.sh");
        return 1;
    }
    const QString name = qEnvironmentVariable("OVRA_BENCH_TARGET", QStringLiteral("gtk"));
    using Kind = TargetApp::Kind;
    const Kind kind = name == u"qt"                  ? Kind::Qt
                      : name == u"gnome-text-editor" ? Kind::GnomeTextEditor
                                                     : Kind::Gtk;
    TargetApp app(kind, QStringLiteral("Ovra bench target"));
    FakeChatService chat(QStringLiteral("ingênuo"));
    OvraProcess ovra(
        {chat.baseURL(), {}, {}, QStringLiteral("test-key"), {QStringLiteral("QT_QPA_PLATFORM=")}});
    if (!app.start() || !ovra.start() || !compositor->activate(app.pid())) {
        std::puts("the application or the program did not come up");
        return 1;
    }
    const Accessible text = textViewOf(app.pid());
    if (!waitUntil([&] { return isFocused(text); }, 5s))
        return 1;
    const QString words[] = {QStringLiteral("naïve"), QStringLiteral("ALVO")};

    // The first panel: the program may still be hearing from the compositor.
    const bool first = waitUntil(
        [&] {
            clearSelectionOf(text);
            return selectWord(text, words[0]) && ovra.waitForPanel(1500ms);
        },
        20s);
    Display* display = XOpenDisplay(nullptr);
    const Window panel = ovra.panelWindowId().toULong();
    if (!first || !display || !panel) {
        std::puts("no panel");
        return 1;
    }
    XSelectInput(display, panel, StructureNotifyMask);
    XSync(display, False);

    std::vector<double> spans;
    int missed = 0;
    bool shown = true;
    for (int i = 1; spans.size() < std::size_t(samples) && i < samples * 2; ++i) {
        clearSelectionOf(text);
        if (shown && !waitForMapping(display, panel, UnmapNotify, 3s))
            return 1;
        const auto selected = Clock::now();
        if (!selectWord(text, words[i % 2]))
            return 1;
        const auto mapped = waitForMapping(display, panel, MapNotify, 3s);
        shown = mapped.has_value();
        if (shown)
            spans.push_back(std::chrono::duration<double, std::milli>(*mapped - selected).count());
        else
            ++missed;
    }
    std::printf("%s: selection to panel over %zu selections: median %.0f ms, p95 %.0f ms, "
                "max %.0f ms; %d without a panel\n",
                qPrintable(name), spans.size(), percentile(spans, 0.5), percentile(spans, 0.95),
                spans.empty() ? 0 : *std::max_element(spans.begin(), spans.end()), missed);
    XCloseDisplay(display);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "xcb"); // this process, like the program, is on XWayland
    QGuiApplication application(argc, argv);
    return run(argc > 1 ? std::max(1, std::atoi(argv[1])) : 50);
}
