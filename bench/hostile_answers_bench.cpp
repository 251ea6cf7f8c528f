// Peak resident memory of the program facing hostile or huge answers: an online AI service on
// loopback that streams an endless answer as fast as it is taken, and one that sends a 7 MiB
// one-word answer which the panel then shows. Each case runs in a child process of its own (this
// program, re-run with --case), so its peak is its own; the counters give the child's peak RSS
// and how long the case took, and for the endless answer the time from the cap (the server has
// sent as much as the client accepts) to the hang-up, as the server sees it.
// Target: under 100 MB peak in both; the hang-up within a second of the cap.
#include "engines/online_ai_client.h"
#include "fakes/fake_http_server.h"
#include "panel/widgets/floating_panel_window.h"
#include "panel/widgets/panel_view.h"
#include "support/panel_environment.h"
#include "support/task_runner.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

using namespace ovra;
using namespace ovra::test;

namespace {

const char* self = nullptr;

struct OnlineService {
    FakeHttpServer server;
    QTemporaryDir dir;
    DefaultsStore defaults{dir.filePath(QStringLiteral("defaults.json"))};
    Prefs prefs{defaults, [] { return std::optional<QString>(); }};
    KeyStore keys{dir.filePath(QStringLiteral("keys.json")), prefs, QString()};
    HttpClient http;
    OnlineAIClient client{prefs, keys, http};

    OnlineService() {
        prefs.setAIProvider(AIProvider::custom);
        prefs.setBaseURL(AIProvider::custom, server.url(QStringLiteral("/v1")).toString());
        keys.writeKey(QStringLiteral("sk-bench"), KeyStore::aiAccount(AIProvider::custom));
    }
};

// Watches the server from a thread of its own (the client's may be the one that never comes
// back) and prints the time from the cap to the hang-up in milliseconds, or -1 when the client
// had not hung up 10 s after the cap, or the server gave up first.
void timeTheHangUp(const FakeHttpServer& server) {
    using Clock = std::chrono::steady_clock;
    const auto poll = std::chrono::milliseconds(1);
    const auto start = Clock::now();
    while (server.streamedBytes() < std::uint64_t(HttpClient::defaultMaxResponseBytes) &&
           Clock::now() - start < std::chrono::seconds(10))
        std::this_thread::sleep_for(poll);
    const auto cap = Clock::now();
    while (!server.streamsEnded() && Clock::now() - cap < std::chrono::seconds(10))
        std::this_thread::sleep_for(poll);
    const std::uint64_t sent = server.streamedBytes();
    const bool hungUp = server.streamsEnded() &&
                        sent >= std::uint64_t(HttpClient::defaultMaxResponseBytes) &&
                        sent < FakeHttpServer::streamBudget;
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - cap);
    std::printf("cap_to_hang_up_ms=%lld\n",
                hungUp ? static_cast<long long>(elapsed.count()) : -1LL);
    std::fflush(stdout);
    // A client still reading would fill memory for as long as it ran.
    if (!hungUp)
        std::_Exit(0);
}

// Ends with the answer refused; then the program idles a while, as it would, so memory that
// the network thread still fills counts too.
int endlessAnswer() {
    OnlineService service;
    service.server.enqueue(
        {200, "", "application/json", false, {}, FakeHttpServer::Stream::endless});
    std::thread watcher(timeTheHangUp, std::cref(service.server));
    try {
        runToEnd(service.client.reformulate(QStringLiteral("texto")), 60'000);
    } catch (const std::exception&) {
    }
    QElapsedTimer idle;
    idle.start();
    while (idle.elapsed() < 3000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    watcher.join();
    return 0;
}

// Received, decoded, shown in the panel, fitted and painted.
int largeAnswerShown() {
    OnlineService service;
    const std::string word(7 * 1024 * 1024, 'a');
    service.server.enqueue(
        {200, R"({"choices":[{"message":{"role":"assistant","content":")" + word + R"("}}]})"});
    const QString answer = runToEnd(service.client.reformulate(QStringLiteral("texto")));

    PanelEnvironment environment;
    auto model = environment.makeViewModel();
    FloatingPanelWindow window(*model);
    model->configure(PanelEnvironment::snapshot());
    window.setFrame({200, 300, 340, 120}, false);
    window.showWithoutActivating();
    model->summarize();
    environment.engines->last()->succeed(answer, EngineKind::online);
    window.layoutContent();
    window.setFrame({200, 100, 340, std::min(*window.fittingHeight(), 860.0)}, false);
    QImage frame(window.size(), QImage::Format_ARGB32_Premultiplied);
    window.render(&frame);
    QCoreApplication::processEvents();
    return 0;
}

// Runs this program with `--case=<name>` and reports the child's peak RSS, and the counters it
// prints as `name=value` lines.
void runCase(benchmark::State& state, const char* name) {
    for (auto _ : state) {
        const std::string option = std::string("--case=") + name;
        char* argv[] = {const_cast<char*>(self), const_cast<char*>(option.c_str()), nullptr};
        int output[2];
        if (pipe(output) != 0) {
            state.SkipWithError("no pipe");
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, output[0]);
        QElapsedTimer timer;
        timer.start();
        pid_t child = 0;
        const int spawned = posix_spawn(&child, self, &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        close(output[1]);
        if (spawned != 0) {
            close(output[0]);
            state.SkipWithError("could not start the case");
            return;
        }
        std::string printed;
        char buffer[256];
        for (ssize_t n; (n = read(output[0], buffer, sizeof buffer)) > 0;)
            printed.append(buffer, std::size_t(n));
        close(output[0]);
        int status = 0;
        rusage usage{};
        wait4(child, &status, 0, &usage);
        state.counters["seconds"] = double(timer.elapsed()) / 1000.0;
        state.counters["peak_rss_MB"] = double(usage.ru_maxrss) / 1024.0;
        std::istringstream lines(printed);
        for (std::string line; std::getline(lines, line);) {
            const auto equals = line.find('=');
            if (equals != std::string::npos)
                state.counters[line.substr(0, equals)] = std::stod(line.substr(equals + 1));
        }
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            state.SkipWithError("the case failed");
    }
}

void BM_EndlessAnswerPeakRSS(benchmark::State& state) {
    runCase(state, "endless");
}
BENCHMARK(BM_EndlessAnswerPeakRSS)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_SevenMiBAnswerShownPeakRSS(benchmark::State& state) {
    runCase(state, "large");
}
BENCHMARK(BM_SevenMiBAnswerShownPeakRSS)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    self = argv[0];
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--case=", 7) != 0)
            continue;
        QApplication app(argc, argv);
        return std::strcmp(argv[i] + 7, "endless") == 0 ? endlessAnswer() : largeAnswerShown();
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
