#include "loopback_http_server.h"

#include <QTcpSocket>

namespace tarvoni {

LoopbackHttpServer::LoopbackHttpServer(QObject *parent)
    : QTcpServer(parent)
{
    connect(this, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { serve(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

bool LoopbackHttpServer::start()
{
    return listen(QHostAddress::LocalHost, 0);
}

QUrl LoopbackHttpServer::baseUrl() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(serverPort()));
}

void LoopbackHttpServer::setRedirect(const QByteArray &path, const QByteArray &location)
{
    m_pages.insert(path, {302, {}});
    m_redirects.insert(path, location);
}

void LoopbackHttpServer::serve(QTcpSocket *socket)
{
    // Wait for the whole request: its head, and the body its Content-Length announces.
    const QByteArray request = socket->peek(socket->bytesAvailable());
    const qsizetype headEnd = request.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return;
    qsizetype bodySize = 0;
    for (const QByteArray &line : request.first(headEnd).split('\n')) {
        if (line.toLower().startsWith("content-length:"))
            bodySize = line.mid(15).trimmed().toLongLong();
    }
    if (request.size() < headEnd + 4 + bodySize)
        return;
    socket->readAll();
    const QList<QByteArray> requestLine = request.left(request.indexOf("\r\n")).split(' ');
    const QByteArray path = requestLine.value(1);
    ++m_requests[path];
    m_lastRequests.insert(path, request);
    m_lastRequestTimes.insert(path, std::chrono::steady_clock::now());

    Page page{404, QByteArrayLiteral("<html><body>not here</body></html>")};
    if (requestLine.value(0) == "GET" && m_pages.contains(path))
        page = m_pages.value(path);
    const QByteArray reason = page.status == 200 ? "OK" : "Error";
    const QByteArray location = m_redirects.value(path);
    socket->write("HTTP/1.1 " + QByteArray::number(page.status) + ' ' + reason + "\r\n"
                  + (location.isEmpty() ? QByteArray() : "Location: " + location + "\r\n")
                  + "Content-Type: text/html; charset=utf-8\r\n"
                    "Content-Length: "
                  + QByteArray::number(page.body.size())
                  + "\r\n"
                    "Cache-Control: no-store\r\n"
                    "Connection: close\r\n\r\n"
                  + page.body);
    socket->disconnectFromHost();
}

} // namespace tarvoni
