#pragma once

#include <QByteArray>
#include <QHash>
#include <QTcpServer>
#include <QUrl>

#include <chrono>

namespace tarvoni {

// A small HTTP server on 127.0.0.1 that answers GET requests from a table of pages; any
// other path or method gets 404. Stands in for the ad server in tests and benchmarks.
class LoopbackHttpServer : public QTcpServer {
public:
    struct Page {
        int status = 200;
        QByteArray body;
    };
    using TimePoint = std::chrono::steady_clock::time_point;

    explicit LoopbackHttpServer(QObject *parent = nullptr);

    bool start();
    QUrl baseUrl() const;

    void setPage(const QByteArray &path, const Page &page) { m_pages.insert(path, page); }
    // `path` answers 302 to `location`.
    void setRedirect(const QByteArray &path, const QByteArray &location);
    // How many times a path has been asked for.
    int requestCount(const QByteArray &path) const { return m_requests.value(path); }
    // The last request for a path as it came, head and body (a body by its Content-Length).
    QByteArray lastRequest(const QByteArray &path) const { return m_lastRequests.value(path); }
    // When the last request for a path came.
    TimePoint lastRequestAt(const QByteArray &path) const { return m_lastRequestTimes.value(path); }

private:
    void serve(QTcpSocket *socket);

    QHash<QByteArray, Page> m_pages;
    QHash<QByteArray, QByteArray> m_redirects;
    QHash<QByteArray, int> m_requests;
    QHash<QByteArray, QByteArray> m_lastRequests;
    QHash<QByteArray, TimePoint> m_lastRequestTimes;
};

} // namespace tarvoni
