#pragma once

#include <atomic>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A Janus server on a free port of 127.0.0.1 that answers the real engine as
// a video room would, except for one step of joining, which gets the given
// hostile reply every time. Each connection is served by a thread of its own
// (the engine long-polls beside its requests); all stop with the server.
class FakeJanusServer
{
public:
    enum class Step { None, CreateSession, Attach, RoomExists, CreateRoom, Join, JoinedEvent, Poll };

    struct Reply
    {
        int status = 200;
        std::string body;
        std::string headers;  // extra header lines, each ending in "\r\n"
        size_t length = 0;    // more than body's size: padded with spaces to this length
        bool endless = false; // a chunked body that never ends
    };

    // For Step::JoinedEvent, reply's body is the poll's answer after the join.
    FakeJanusServer(Step hostile, Reply reply);
    ~FakeJanusServer();

    FakeJanusServer(const FakeJanusServer &) = delete;
    FakeJanusServer &operator=(const FakeJanusServer &) = delete;

    std::string url() const;
    int polls() const { return m_polls; }

    static constexpr unsigned long long kSession = 1111;
    static constexpr unsigned long long kHandle = 2222;

private:
    void acceptLoop();
    void serve(int socket);
    Reply answer(const std::string &method, const std::string &body);
    Reply poll();
    void send(int socket, const Reply &reply) const;
    bool sendAll(int socket, const std::string &data) const;

    const Step m_hostile;
    const Reply m_reply;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::atomic<int> m_polls{0};
    std::atomic<unsigned long long> m_nextHandle{kHandle};
    std::mutex m_mutex;
    std::string m_pending; // events for the next poll
    std::vector<std::thread> m_connections;
    std::thread m_acceptor;
};
