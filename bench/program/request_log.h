#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace bench {

// A loopback port in front of a server that keeps no log of its own (VLC's MMS server): every
// connection passes through to the server unchanged, and the time each one's request arrived
// is noted on nowNs()'s clock. Requests for one path may be sent to another server through a
// coalescing front instead. Each connection is served by a thread of its own; all end when
// this object goes away.
class RequestLog {
public:
    RequestLog() = default;
    ~RequestLog();
    RequestLog(const RequestLog &) = delete;
    RequestLog &operator=(const RequestLog &) = delete;

    // Listens on a free loopback port, in front of the server on `serverPort`.
    bool start(int serverPort);
    // Before start(): requests whose first line has `pathPart` go to the server on `serverPort`
    // through a CoalescingFront that gathers for `gatherMs`.
    void addFront(const QByteArray &pathPart, int serverPort, int gatherMs);
    int port() const { return m_port; }

    // When the first request at or after `fromNs` arrived, or -1.
    qint64 firstRequestAfter(qint64 fromNs) const;

private:
    void acceptLoop();
    void pass(int client);

    int m_serverPort = 0;
    QByteArray m_frontPath;
    int m_frontPort = 0;
    int m_frontGatherMs = 0;
    int m_port = 0;
    int m_listening = -1;
    int m_wake[2] = {-1, -1}; // written to once, when everything is to end
    std::thread m_acceptor;
    mutable std::mutex m_mutex;
    std::vector<std::thread> m_connections;
    std::vector<qint64> m_requests;
};

} // namespace bench
