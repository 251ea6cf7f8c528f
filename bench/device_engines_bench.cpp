// The device's own engines: Apertium translating a 200-word English paragraph to Spanish (child
// process start included, with and without language detection), and the local-model path's
// overhead over a bare POST to the same fake model server on loopback.
//   bench_device_engines_bench [benchmark flags]   (the default run takes a few seconds)
#include "fakes/fake_ollama_server.h"
#include "fakes/fake_package_installer.h"
#include "ondevice/apertium/apertium_process.h"
#include "ondevice/apertium/apertium_translation_service.h"
#include "ondevice/apertium/language_detector.h"
#include "ondevice/local_model/local_model_client.h"
#include "support/task_runner.h"
#include "support/timer_scheduler.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <benchmark/benchmark.h>

using namespace ovra;

namespace {

// 200 words of plain news English.
const QString paragraph = QStringLiteral(
    "The city council approved a new plan to improve public transport next year. The plan "
    "includes more buses, longer opening hours for the train stations and cheaper tickets for "
    "students and older people. Many residents said that they were happy with the decision, "
    "but some shop owners in the old town are worried about the new bus lanes. They believe "
    "that fewer cars will mean fewer customers, especially on weekends. The mayor answered that "
    "the city will study the effects during the first six months and change the plan if "
    "necessary. Work on the new lines will start in the spring and should end before the "
    "winter. During this time, some streets will be closed and drivers will have to use other "
    "roads. The council also wants to build safe paths for bicycles along the river and near "
    "the schools. Parents have asked for these paths for many years, because the traffic in "
    "the morning is heavy and children often walk to school alone. The total cost of the plan "
    "is high, but the national government will pay for almost half of it. A final report will "
    "be published at the end of the year, and citizens can send comments.");

void BM_ApertiumProcessEnglishToSpanish(benchmark::State& state) {
    TimerScheduler scheduler;
    const ApertiumProcess::Options options;
    for (auto _ : state) {
        QString spanish = test::runToEnd(
            ApertiumProcess::run(options, scheduler, QStringLiteral("eng-spa"), paragraph));
        if (spanish.isEmpty())
            state.SkipWithError("no translation");
        benchmark::DoNotOptimize(spanish);
    }
    state.counters["words"] = 200;
}
BENCHMARK(BM_ApertiumProcessEnglishToSpanish)
    ->Iterations(5)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// The same through a session with no source given: libexttextcat detection, route choice, then
// the child process.
void BM_ApertiumSessionDetectedEnglishToSpanish(benchmark::State& state) {
    TimerScheduler scheduler;
    LanguageDetector detector;
    test::FakePackageInstaller installer;
    ApertiumTranslationService service(scheduler, detector, installer, nullptr);
    auto session = service.makeSession({std::nullopt, QStringLiteral("es"), 0});
    for (auto _ : state) {
        QString spanish = test::runToEnd(session->translate(paragraph, {}));
        if (spanish.isEmpty())
            state.SkipWithError("no translation");
        benchmark::DoNotOptimize(spanish);
    }
}
BENCHMARK(BM_ApertiumSessionDetectedEnglishToSpanish)
    ->Iterations(5)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// Detection alone, to separate it from the process.
void BM_LanguageDetection(benchmark::State& state) {
    LanguageDetector detector;
    for (auto _ : state)
        benchmark::DoNotOptimize(detector.candidates(paragraph));
}
BENCHMARK(BM_LanguageDetection)->Unit(benchmark::kMicrosecond);

struct ModelServer {
    test::FakeOllamaServer server;
    ModelServer() { server.setModels({"llama3.2:3b"}); }
    LocalModelClient::Options options() const {
        LocalModelClient::Options result;
        result.baseUrl = server.url();
        return result;
    }
};

// The floor: one POST of a comparable chat body, straight through a network manager.
void BM_BareChatPost(benchmark::State& state) {
    ModelServer model;
    QNetworkAccessManager manager;
    QUrl url = model.server.url();
    url.setPath(QStringLiteral("/api/chat"));
    QNetworkRequest request(url);
    request.setRawHeader("Content-Type", "application/json");
    const QByteArray body =
        (QStringLiteral(R"({"model":"llama3.2:3b","messages":[{"role":"system","content":"i"},)"
                        R"({"role":"user","content":")") +
         paragraph + QStringLiteral(R"("}],"stream":false})"))
            .toUtf8();
    for (auto _ : state) {
        QNetworkReply* reply = manager.post(request, body);
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
        benchmark::DoNotOptimize(reply->readAll());
        reply->deleteLater();
    }
}
BENCHMARK(BM_BareChatPost)->UseRealTime()->Unit(benchmark::kMicrosecond);

// One answer through a fresh session (as the reformulator uses it), the model already chosen.
void BM_LocalModelRespond(benchmark::State& state) {
    ModelServer model;
    LocalModelClient client(model.options());
    if (!test::runToEnd(client.isAvailable({})))
        state.SkipWithError("fake server unavailable");
    for (auto _ : state) {
        auto session = client.openSession(QStringLiteral("i"));
        benchmark::DoNotOptimize(test::runToEnd(session->respond(paragraph, {})));
    }
}
BENCHMARK(BM_LocalModelRespond)->UseRealTime()->Unit(benchmark::kMicrosecond);

// The availability check callers make before using the model (GET /api/tags, model choice).
void BM_LocalModelAvailability(benchmark::State& state) {
    ModelServer model;
    LocalModelClient client(model.options());
    for (auto _ : state) {
        if (!test::runToEnd(client.isAvailable({})))
            state.SkipWithError("fake server unavailable");
    }
}
BENCHMARK(BM_LocalModelAvailability)->UseRealTime()->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
