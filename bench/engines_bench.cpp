// Translation through the router against a loopback fake Google server, compared with a bare
// QNetworkAccessManager POST to the same server, and resident memory over many requests.
//   bench_engines_bench [--requests=N] [benchmark flags]   (N defaults to 300; use 10000)
#include "engines/engine_router.h"
#include "fakes/fake_http_server.h"
#include "fakes/fake_language_services.h"
#include "settings/defaults_store.h"
#include "settings/key_store.h"
#include "settings/prefs.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstring>
#include <fstream>
#include <string>

using namespace ovra;

namespace {

int g_requests = 300;

long residentKiB() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * 4;
}

struct Setup {
    QTemporaryDir dir;
    DefaultsStore defaults{dir.filePath(QStringLiteral("d.json"))};
    Prefs prefs{defaults, [this] { return keys.resolvedGoogleKey(); }};
    KeyStore keys{dir.filePath(QStringLiteral("k.json")), prefs, QStringLiteral("bench-key")};
    test::FakeHttpServer server;
    QNetworkAccessManager manager;
    HttpClient http{manager};
    test::FakeLanguageModel model;
    TranslationCoordinator coordinator;
    EngineRouter router{prefs, keys, http, model, coordinator, server.url()};

    Setup() {
        prefs.setOnlineTranslationProvider(OnlineTranslationProvider::google);
        server.setRecording(false);
        server.setDefault({200, R"({"data":{"translations":[{"translatedText":"hello"}]}})"});
    }
};

QCoro::Task<void> translateOnce(EngineRouter& router, QEventLoop& loop, bool& ok) {
    const EngineOutcome outcome =
        co_await router.translate(QStringLiteral("olá"), TargetLanguage::portuguese());
    ok = outcome.engine == EngineKind::google;
    loop.quit();
}

bool routerTranslate(Setup& setup) {
    QEventLoop loop;
    bool ok = false;
    translateOnce(setup.router, loop, ok);
    if (!ok)
        loop.exec();
    return ok;
}

void BM_BareManagerPost(benchmark::State& state) {
    Setup setup;
    QNetworkRequest request(
        setup.server.url(QStringLiteral("/language/translate/v2?key=bench-key")));
    request.setRawHeader("Content-Type", "application/json");
    const QByteArray body = R"({"q":"olá","target":"pt","format":"text"})";
    for (auto _ : state) {
        QNetworkReply* reply = setup.manager.post(request, body);
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
        benchmark::DoNotOptimize(reply->readAll());
        reply->deleteLater();
    }
}
BENCHMARK(BM_BareManagerPost)->UseRealTime()->Unit(benchmark::kMicrosecond);

void BM_RouterTranslateGoogle(benchmark::State& state) {
    Setup setup;
    for (auto _ : state) {
        if (!routerTranslate(setup))
            state.SkipWithError("translation failed");
    }
}
BENCHMARK(BM_RouterTranslateGoogle)->UseRealTime()->Unit(benchmark::kMicrosecond);

// Resident memory before and after `g_requests` translations; the growth should stay near zero
// once the first requests have warmed up the manager's caches.
void BM_RouterResidentMemory(benchmark::State& state) {
    Setup setup;
    for (int i = 0; i < 50; ++i)
        routerTranslate(setup); // warm-up
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const long before = residentKiB();
    for (auto _ : state) {
        for (int i = 0; i < g_requests; ++i)
            routerTranslate(setup);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    const long after = residentKiB();
    state.counters["requests"] = g_requests;
    state.counters["rss_before_KiB"] = static_cast<double>(before);
    state.counters["rss_after_KiB"] = static_cast<double>(after);
    state.counters["rss_growth_KiB"] = static_cast<double>(after - before);
}
BENCHMARK(BM_RouterResidentMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--requests=", 11) == 0) {
            g_requests = std::stoi(argv[i] + 11);
            for (int j = i; j + 1 < argc; ++j)
                argv[j] = argv[j + 1];
            --argc;
            --i;
        }
    }
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
