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
        Request recorded;
        recorded.method = request.method;
        recorded.path = request.path;
        const auto queryStart = request.target.find('?');
        if (queryStart != std::string::npos)
            recorded.rawQuery = request.target.substr(queryStart + 1);
        for (const auto& [key, value] : request.headers)
            recorded.headers.emplace(key, value);
        recorded.body = request.body;

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
        const auto keepsStreaming = [this] {
            return !m_stopping && m_streamedBytes < streamBudget;
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
                [this, keepsStreaming](std::size_t, httplib::DataSink& sink) {
                    static const std::string payload(256 * 1024, '[');
                    static const std::string chunk = "40000\r\n" + payload + "\r\n";
                    if (!keepsStreaming() || !sink.write(chunk.data(), chunk.size()))
                        return false;
                    m_streamedBytes += payload.size();
                    return true;
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
                [this, keepsStreaming, interval, next, pieces = std::move(scripted.pieces),
                 first = scripted.firstPieceDelay](std::size_t, httplib::DataSink& sink) {
                    if (*next == pieces.size()) {
                        sink.done();
                        return true;
                    }
                    std::this_thread::sleep_for(*next == 0 ? first : interval);
                    const std::string& piece = pieces[(*next)++];
                    if (!keepsStreaming() || !sink.write(piece.data(), piece.size()))
                        return false;
                    m_streamedBytes += piece.size();
                    return true;
                },
                ended);
            return;
        }
        response.set_chunked_content_provider(
            type,
            [this, keepsStreaming, interval](std::size_t, httplib::DataSink& sink) {
                std::this_thread::sleep_for(interval);
                if (!keepsStreaming() || !sink.write("[", 1))
                    return false;
                ++m_streamedBytes;
                return true;
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
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_released.notify_all();
    m_server->stop();
    if (m_thread.joinable())
        m_thread.join();
}

QUrl FakeHttpServer::url(const QString& path) const {
    return QUrl(QStringLiteral("http://127.0.0.1:") + QString::number(m_port) + path);
}

void FakeHttpServer::enqueue(Response response) {
    std::lock_guard lock(m_mutex);
    m_queue.push_back(std::move(response));
}

void FakeHttpServer::setDefault(Response response) {
    std::lock_guard lock(m_mutex);
    m_default = std::move(response);
}

void FakeHttpServer::route(const std::string& path, Response response) {
    std::lock_guard lock(m_mutex);
    m_routes[path] = std::move(response);
}

void FakeHttpServer::release() {
    {
        std::lock_guard lock(m_mutex);
        ++m_releaseCount;
    }
    m_released.notify_all();
}

std::vector<FakeHttpServer::Request> FakeHttpServer::requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

std::size_t FakeHttpServer::requestCount() const {
    std::lock_guard lock(m_mutex);
    return m_requestCount;
}

void FakeHttpServer::setRecording(bool on) {
    std::lock_guard lock(m_mutex);
    m_recording = on;
}

FakeHttpServer::Request FakeHttpServer::lastRequest() const {
    std::lock_guard lock(m_mutex);
    return m_requests.empty() ? Request{} : m_requests.back();
}

} // namespace ovra::test
