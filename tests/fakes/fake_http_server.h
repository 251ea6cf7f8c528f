#pragma once

#include <QUrl>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace httplib {
class Server;
}

namespace ovra::test {

// A small HTTP server on 127.0.0.1 (ephemeral port) running on its own thread. It records every
// request and answers from a script: queued responses first, then the default one. A response may
// be held until release() (or the server stops), to test cancellation and time-outs.
class FakeHttpServer {
public:
    struct Request {
        std::string method;
        std::string path;
        std::string rawQuery; // as received, still percent-encoded
        std::multimap<std::string, std::string> headers;
        std::string body;

        std::string header(const std::string& name) const;
    };
    // How a body is sent: whole, or as a chunked stream that goes on until the client hangs up
    // (a hostile server): `endless` sends 16 KiB pieces as fast as the client takes them, `drip`
    // sends one byte every `dripInterval`; `pieces` sends `pieces` one by one, the first after
    // `firstPieceDelay` and the others `dripInterval` apart, with `contentType`, then ends. Streams
    // are sent uncompressed, whatever `contentType` says. After `streamBudget` bytes in all the
    // server hangs up itself, so a client that never does fails its test instead of filling the
    // machine's memory.
    enum class Stream { none, endless, drip, pieces };
    static constexpr std::uint64_t streamBudget = 256 * 1024 * 1024;
    struct Response {
        int status = 200;
        std::string body;
        std::string contentType = "application/json";
        bool hold = false; // wait for release() before answering
        std::multimap<std::string, std::string> headers = {};
        Stream stream = Stream::none;
        std::chrono::milliseconds dripInterval{50};
        std::vector<std::string> pieces = {};
        std::chrono::milliseconds firstPieceDelay{0};
    };

    FakeHttpServer();
    ~FakeHttpServer();

    int port() const { return m_port; }
    // "http://127.0.0.1:<port>" plus `path`.
    QUrl url(const QString& path = QString()) const;

    // Off: requests are counted but not kept (for long benchmark runs).
    void setRecording(bool on) {
        locked([&] { m_recording = on; });
    }

    void enqueue(Response response) {
        locked([&] { m_queue.push_back(std::move(response)); });
    }
    void setDefault(Response response) {
        locked([&] { m_default = std::move(response); });
    }
    // Answers every request for `path` with `response`, ahead of the queue and the default.
    void route(const std::string& path, Response response) {
        locked([&] { m_routes[path] = std::move(response); });
    }
    // Answers every held request (they get their scripted response).
    void release() {
        locked([&] { ++m_releaseCount; });
        m_released.notify_all();
    }

    std::vector<Request> requests() const {
        return locked([&] { return m_requests; });
    }
    std::size_t requestCount() const {
        return locked([&] { return m_requestCount; });
    }
    Request lastRequest() const {
        return locked([&] { return m_requests.empty() ? Request{} : m_requests.back(); });
    }

    // Bytes sent by streams so far, and whether every stream has ended (the client hung up).
    std::uint64_t streamedBytes() const { return m_streamedBytes; }
    bool streamsEnded() const { return m_openStreams == 0; }

private:
    // `f`'s work on the script and the records, which the server's thread shares.
    template <typename F> auto locked(F f) const -> decltype(f()) {
        std::lock_guard lock(m_mutex);
        return f();
    }

    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    int m_port = 0;
    mutable std::mutex m_mutex;
    std::condition_variable m_released;
    std::uint64_t m_releaseCount = 0;
    std::atomic<bool> m_stopping{false};
    std::deque<Response> m_queue;
    Response m_default;
    std::map<std::string, Response> m_routes;
    std::vector<Request> m_requests;
    std::size_t m_requestCount = 0;
    bool m_recording = true;
    std::atomic<std::uint64_t> m_streamedBytes{0};
    std::atomic<int> m_openStreams{0};
};

} // namespace ovra::test
