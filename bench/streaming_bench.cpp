// A streamed AI answer in the floating panel on the offscreen platform: a local fake service sends
// the first piece after 200 ms and then 20 pieces a second, through the real client, router and
// view model. Measured: from a piece's delivery by the client to the next paint of the panel's
// result text (goal: median and p95 under 30 ms), and the process's CPU time per 1,000 pieces
// (the fake service's thread included). Run by hand; `--benchmark_filter` and the piece count
// (the benchmark's argument) as usual.
#include "engines/http_request.h"
#include "fakes/fake_http_server.h"
#include "fakes/fake_language_services.h"
#include "floating_panel_rig.h"
#include "panel/router_panel_engines.h"
#include "support/panel_environment.h"
#include "support/timer_scheduler.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <algorithm>
#include <ctime>

using namespace ovra;
using namespace ovra::test;

namespace {

double cpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// The real engines, with the moment each piece reaches the panel noted on the way.
class TimedEngines final : public PanelEngines {
public:
    TimedEngines(Prefs& prefs, KeyStore& keys, HttpClient& http, LanguageModel& device,
                 std::function<void()> arrived)
        : m_engines(prefs, keys, http, device), m_arrived(std::move(arrived)) {}

    QCoro::Task<EngineOutcome> translate(QString text, TargetLanguage target, CancelToken token,
                                         TextProgress progress) override {
        return m_engines.translate(std::move(text), std::move(target), std::move(token),
                                   timed(std::move(progress)));
    }
    QCoro::Task<EngineOutcome> reformulate(QString text, CancelToken token,
                                           TextProgress progress) override {
        return m_engines.reformulate(std::move(text), std::move(token), timed(std::move(progress)));
    }
    QCoro::Task<EngineOutcome> runAction(AIActionKind kind, QString text, CancelToken token,
                                         TextProgress progress) override {
        return m_engines.runAction(kind, std::move(text), std::move(token),
                                   timed(std::move(progress)));
    }
    std::shared_ptr<PanelChat> makeChat(QString selection) override {
        return m_engines.makeChat(std::move(selection));
    }
    TranslationCoordinator& translationCoordinator() override {
        return m_engines.translationCoordinator();
    }

private:
    TextProgress timed(TextProgress progress) {
        return [this, progress = std::move(progress)](const QString& text) {
            m_arrived();
            progress(text);
        };
    }
    RouterPanelEngines m_engines;
    std::function<void()> m_arrived;
};

// Notes the paint of the result text that follows each piece's arrival.
class PaintWatch final : public QObject {
public:
    QElapsedTimer clock;
    std::vector<qint64> pendingArrivals; // ns
    std::vector<double> latenciesMs;

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !pendingArrivals.empty()) {
            const qint64 now = clock.nsecsElapsed();
            for (const qint64 arrival : pendingArrivals)
                latenciesMs.push_back(double(now - arrival) / 1e6);
            pendingArrivals.clear();
        }
        return QObject::eventFilter(watched, event);
    }
};

double percentile(std::vector<double> values, double p) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, std::size_t(p * double(values.size())))];
}

void BM_StreamedPieceToPaint(benchmark::State& state) {
    const int pieceCount = int(state.range(0));
    PanelEnvironment env;
    TimerScheduler scheduler;
    FakeHttpServer service;
    FakeLanguageModel device;
    HttpClient http;
    PaintWatch watch;
    watch.clock.start();
    env.prefs.setAIProvider(AIProvider::custom);
    env.prefs.setBaseURL(AIProvider::custom, service.url(QStringLiteral("/v1")).toString());
    env.keys.writeKey(QStringLiteral("sk-bench"), KeyStore::aiAccount(AIProvider::custom));

    auto engines = std::make_shared<TimedEngines>(env.prefs, env.keys, http, device, [&] {
        watch.pendingArrivals.push_back(watch.clock.nsecsElapsed());
    });
    FloatingPanelRig rig(
        [&] {
            return std::make_unique<PanelViewModel>(engines, env.replacer, env.clipboard, env.prefs,
                                                    env.keys, scheduler);
        },
        scheduler);
    PanelController& controller = rig.controller;

    FakeHttpServer::Response stream{200,   "", "text/event-stream",
                                    false, {}, FakeHttpServer::Stream::pieces};
    stream.firstPieceDelay = std::chrono::milliseconds(200);
    stream.dripInterval = std::chrono::milliseconds(50);
    for (int i = 0; i < pieceCount; ++i)
        stream.pieces.push_back(R"(data: {"choices":[{"delta":{"content":"pal)" +
                                std::to_string(i % 10) +
                                R"( "}}]})"
                                "\n\n");
    stream.pieces.push_back("data: [DONE]\n\n");

    SelectionSnapshot snapshot = PanelEnvironment::snapshot();
    snapshot.screenBounds = QRectF(400, 500, 180, 18);
    double cpu = 0;
    for (auto _ : state) {
        service.enqueue(stream);
        controller.show(snapshot);
        QLabel* result = rig.window->findChild<QLabel*>(QStringLiteral("resultText"));
        result->installEventFilter(&watch);
        const double cpuBefore = cpuSeconds();
        controller.viewModel()->reformulate();
        if (!QTest::qWaitFor([&] { return !controller.viewModel()->isWorking(); },
                             pieceCount * 50 + 10'000))
            state.SkipWithError("the answer did not end");
        QTest::qWait(100); // the last paint
        cpu = cpuSeconds() - cpuBefore;
        result->removeEventFilter(&watch);
        controller.hide();
    }
    state.counters["pieces"] = double(pieceCount);
    state.counters["painted"] = double(watch.latenciesMs.size());
    state.counters["median_ms"] = percentile(watch.latenciesMs, 0.5);
    state.counters["p95_ms"] = percentile(watch.latenciesMs, 0.95);
    state.counters["max_ms"] = percentile(watch.latenciesMs, 1.0);
    state.counters["cpu_s_per_1000"] = cpu * 1000.0 / pieceCount;
}
BENCHMARK(BM_StreamedPieceToPaint)->Arg(200)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv) {
    return runBenchmarksOffscreen(argc, argv);
}
