#include "fakejanusserver.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr size_t kMaxRequestBytes = 1 << 20;
constexpr int kPollHoldMs = 500; // Janus holds 30 s; shorter keeps the tests' ends quick

std::string text(unsigned long long number)
{
    return std::to_string(number);
}

FakeJanusServer::Reply json(const std::string &body)
{
    FakeJanusServer::Reply reply;
    reply.body = body;
    return reply;
}

FakeJanusServer::Reply room(const std::string &data)
{
    return json(R"({"janus":"success","plugindata":{"plugin":"janus.plugin.videoroom","data":)" + data + "}}");
}

bool has(const std::string &body, const char *needle)
{
    return body.find(needle) != std::string::npos;
}

} // namespace

FakeJanusServer::FakeJanusServer(Step hostile, Reply reply) : m_hostile(hostile), m_reply(std::move(reply))
{
    m_listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof(address);
    if (bind(m_listener, reinterpret_cast<sockaddr *>(&address), size) == 0 && listen(m_listener, 16) == 0 &&
        getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &size) == 0)
        m_port = ntohs(address.sin_port);
    m_acceptor = std::thread([this] { acceptLoop(); });
}

FakeJanusServer::~FakeJanusServer()
{
    m_stopping = true;
    m_acceptor.join();
    for (std::thread &connection : m_connections)
        connection.join();
    close(m_listener);
}

std::string FakeJanusServer::url() const
{
    return "http://127.0.0.1:" + std::to_string(m_port) + "/janus";
}

void FakeJanusServer::acceptLoop()
{
    while (!m_stopping) {
        pollfd listener{m_listener, POLLIN, 0};
        if (::poll(&listener, 1, 20) <= 0)
            continue;
        const int connection = accept(m_listener, nullptr, nullptr);
        if (connection < 0)
            continue;
        timeval timeout{0, 100000}; // lets a blocked send or read see the server stop
        setsockopt(connection, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof(timeout));
        setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
        m_connections.emplace_back([this, connection] {
            serve(connection);
            close(connection);
        });
    }
}

// One request a connection: the engine opens one for each.
void FakeJanusServer::serve(int socket)
{
    std::string request;
    size_t headerEnd = std::string::npos;
    size_t length = 0;
    bool continued = false;
    char buffer[16384];
    while (!m_stopping && request.size() < kMaxRequestBytes) {
        if (headerEnd == std::string::npos && (headerEnd = request.find("\r\n\r\n")) != std::string::npos) {
            const auto field = request.find("Content-Length: ");
            length = field < headerEnd ? std::strtoul(request.c_str() + field + 16, nullptr, 10) : 0;
        }
        if (headerEnd != std::string::npos && !continued && has(request.substr(0, headerEnd), "100-continue")) {
            sendAll(socket, "HTTP/1.1 100 Continue\r\n\r\n");
            continued = true;
        }
        if (headerEnd != std::string::npos && request.size() >= headerEnd + 4 + length)
            break;
        const ssize_t got = recv(socket, buffer, sizeof(buffer), 0);
        if (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK))
            return;
        if (got > 0)
            request.append(buffer, static_cast<size_t>(got));
    }
    if (m_stopping || headerEnd == std::string::npos)
        return;
    send(socket, answer(request.substr(0, request.find(' ')), request.substr(headerEnd + 4)));
}

FakeJanusServer::Reply FakeJanusServer::answer(const std::string &method, const std::string &body)
{
    Step step = Step::None;
    if (method == "GET")
        step = Step::Poll;
    else if (has(body, R"("janus":"create")"))
        step = Step::CreateSession;
    else if (has(body, R"("janus":"attach")"))
        step = Step::Attach;
    else if (has(body, R"("request":"exists")"))
        step = Step::RoomExists;
    else if (has(body, R"("request":"create")"))
        step = Step::CreateRoom;
    else if (has(body, R"("ptype":"publisher")"))
        step = Step::Join;
    if (step == Step::Poll)
        ++m_polls;
    if (step == m_hostile && step != Step::None)
        return m_reply;
    switch (step) {
    case Step::Poll:
        return poll();
    case Step::CreateSession:
        return json(R"({"janus":"success","data":{"id":)" + text(kSession) + "}}");
    case Step::Attach:
        return json(R"({"janus":"success","data":{"id":)" + text(m_nextHandle++) + "}}");
    case Step::RoomExists:
        return room(R"({"videoroom":"success","exists":false})");
    case Step::CreateRoom:
        return room(R"({"videoroom":"created"})");
    case Step::Join: {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pending = m_hostile == Step::JoinedEvent
                        ? m_reply.body
                        : R"([{"janus":"event","sender":)" + text(kHandle) +
                              R"(,"plugindata":{"plugin":"janus.plugin.videoroom","data":{"videoroom":"joined","id":5001,"publishers":[]}}}])";
        return json(R"({"janus":"ack"})");
    }
    default:
        return json(R"({"janus":"ack"})");
    }
}

FakeJanusServer::Reply FakeJanusServer::poll()
{
    for (int waited = 0; waited < kPollHoldMs && !m_stopping; waited += 10) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (!m_pending.empty()) {
                std::string events;
                events.swap(m_pending);
                return json(events);
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return json(R"({"janus":"keepalive"})");
}

void FakeJanusServer::send(int socket, const Reply &reply) const
{
    std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " Reply\r\nContent-Type: application/json\r\n" +
                       reply.headers + "Connection: close\r\n";
    if (reply.endless) {
        sendAll(socket, head + "Transfer-Encoding: chunked\r\n\r\n");
        const std::string chunk = "4000\r\n" + std::string(0x4000, '[') + "\r\n";
        while (sendAll(socket, chunk)) {
        }
        return;
    }
    const size_t length = std::max(reply.length, reply.body.size());
    if (!sendAll(socket, head + "Content-Length: " + std::to_string(length) + "\r\n\r\n" + reply.body))
        return;
    const std::string spaces(1 << 16, ' ');
    for (size_t sent = reply.body.size(); sent < length; sent += spaces.size())
        if (!sendAll(socket, spaces.substr(0, std::min(spaces.size(), length - sent))))
            return;
}

// False once the engine hung up or the server stops.
bool FakeJanusServer::sendAll(int socket, const std::string &data) const
{
    for (size_t sent = 0; sent < data.size();) {
        if (m_stopping)
            return false;
        const ssize_t done = ::send(socket, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (done < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return false;
        sent += done > 0 ? static_cast<size_t>(done) : 0;
    }
    return true;
}
