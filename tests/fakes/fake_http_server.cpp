#include "fakes/fake_http_server.h"

// The build passes the options the distribution compiled cpp-httplib with (pkg-config).
#include <httplib.h>

namespace ovra::test {

std::string FakeHttpServer::Request::header(const std::string& name) const {
    for (const auto& [key, value] : headers)
        if (QByteArrayView(key).compare(name, Qt::CaseInsensitive) == 0)
            return value;
    return {};
}

FakeHttpServer::FakeHttpServer() : m_server(std::make_unique<httplib::Server>()) {
    const auto handler = [this](const httplib::Request& request, httplib::Response& response) {
        Request recorded{request.method, request.path, {}, {}, request.body};
        recorded.headers.insert(request.headers.begin(), request.headers.end());
        if (const auto queryStart = request.target.find('?'); queryStart != std::string::npos)
            recorded.rawQuery = request.target.substr(queryStart + 1);

        std::unique_lock lock(m_mutex);
        ++m_requestCount;
        if (m_recording)
            m_requests.push_back(std::move(recorded));
        Response scripted = m_default;
        if (const auto route = m_routes.find(request.path); route != m_routes.end()) {
            scripted = route->second;
        } else if (!m_queue.empty()) {
            scripted = std::move(m_queue.front());
            m_queue.pop_front();
        }
        if (scripted.hold) {
            const auto seen = m_releaseCount;
            m_released.wait(lock, [&] { return m_stopping || m_releaseCount != seen; });
        }
        response.status = scripted.status;
        for (const auto& [name, value] : scripted.headers)
            response.set_header(name, value);
        if (scripted.stream == Stream::none) {
            response.set_content(scripted.body, scripted.contentType.c_str());
            return;
        }
        lock.unlock();
        ++m_openStreams;
        // Sends one piece of a stream and counts `counted` of its bytes; false once the stream
        // is to end.
        const auto send = [this](httplib::DataSink& sink, const std::string& piece,
                                 std::size_t counted) {
            if (m_stopping || m_streamedBytes >= streamBudget ||
                !sink.write(piece.data(), piece.size()))
                return false;
            m_streamedBytes += counted;
            return true;
        };
        const auto ended = [this](bool) { --m_openStreams; };
        // A type the server does not compress: every byte crosses the wire as sent.
        const char* type = "application/octet-stream";
        if (scripted.stream == Stream::endless) {
            // Framed here, each chunk in one write, and sent flat out: what a client reading a
            // fast server on loopback faces (the library's own framing writes the pieces
            // apart, slowly enough for any client to keep up).
            response.set_header("Transfer-Encoding", "chunked");
            response.set_content_provider(
                type,
                [send](std::size_t, httplib::DataSink& sink) {
                    static const std::string payload(256 * 1024, '[');
                    static const std::string chunk = "40000\r\n" + payload + "\r\n";
                    return send(sink, chunk, payload.size());
                },
                ended);
            return;
        }
        const auto interval = scripted.dripInterval;
        if (scripted.stream == Stream::pieces) {
            // text/event-stream is one of the types the server never compresses.
            auto next = std::make_shared<std::size_t>(0);
            response.set_chunked_content_provider(
                scripted.contentType,
                [send, interval, next, pieces = std::move(scripted.pieces),
                 first = scripted.firstPieceDelay](std::size_t, httplib::DataSink& sink) {
                    if (*next == pieces.size()) {
                        sink.done();
                        return true;
                    }
                    std::this_thread::sleep_for(*next == 0 ? first : interval);
                    const std::string& piece = pieces[(*next)++];
                    return send(sink, piece, piece.size());
                },
                ended);
            return;
        }
        response.set_chunked_content_provider(
            type,
            [send, interval](std::size_t, httplib::DataSink& sink) {
                static const std::string drop = "[";
                std::this_thread::sleep_for(interval);
                return send(sink, drop, 1);
            },
            ended);
    };
    // Connections close after each answer: a kept-alive connection would hold stop() for the
    // whole keep-alive time-out.
    m_server->set_keep_alive_max_count(1);
    m_server->Post(".*", handler);
    m_server->Get(".*", handler);
    m_port = m_server->bind_to_any_port("127.0.0.1");
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    // stop() only works once the accept loop runs; connections made before that wait in the
    // listen backlog anyway.
    while (!m_server->is_running())
        std::this_thread::yield();
}

FakeHttpServer::~FakeHttpServer() {
    locked([&] { m_stopping = true; });
    m_released.notify_all();
    m_server->stop();
    m_thread.join();
}

QUrl FakeHttpServer::url(const QString& path) const {
    return QUrl(QStringLiteral("http://127.0.0.1:") + QString::number(m_port) + path);
}

} // namespace ovra::test
