#pragma once

#include "ad_engine/proxy_request.h"

#include <QByteArray>
#include <QObject>

#include <functional>
#include <memory>

class QSocketNotifier;
class QTcpSocket;

namespace tarvoni::net {
class Connection;
}

namespace tarvoni {

// One connection from the web engine to its forwarding proxy. It reads one request, fetches
// it from its server or opens the tunnel it asks for, and carries the bytes both ways, never
// holding more than a few hundred kilobytes: when one side is slow, the other is not read.
// It closes the engine's side once the server is done and deletes itself when both are closed.
// The connection to the server is the network layer's, opened on a worker of its own (so that
// nothing here waits) through the proxy the environment names.
class ProxyConnection : public QObject {
    Q_OBJECT

public:
    // Whether a request whose head has been read may go on; a refused one gets 403.
    using Admit = std::function<bool(ProxyConnection *, const ProxyRequest &)>;
    // Bytes that have just come down from the server, before the engine is given them.
    using Count = std::function<void(ProxyConnection *, qint64)>;

    ProxyConnection(QTcpSocket *engine, Admit admit, Count count, QObject *parent);
    ~ProxyConnection() override;

    // Ends both sides at once.
    void abort();

private:
    enum class Stage { RequestHead, Connecting, AnswerHead, Piping, Done };

    void readEngine();
    void startFetch(const ProxyRequest &request);
    void serverOpened();
    void serverFailed();
    void serverClosed();
    void pumpUp();
    void pumpDown();
    bool takeAnswerHead(const QByteArray &bytes);
    void finishIfServerDone();
    // Answers with the proxy's own error when nothing of an answer has gone out yet.
    void fail(int status);
    void close();
    void dropServer();

    QTcpSocket *m_engine = nullptr;
    std::unique_ptr<net::Connection> m_upstream;
    QSocketNotifier *m_opening = nullptr; // while m_upstream is being opened
    QTcpSocket *m_server = nullptr;       // once m_upstream is open
    Admit m_admit;
    Count m_count;
    Stage m_stage = Stage::RequestHead;
    bool m_tunnel = false;
    bool m_serverClosed = false;
    QByteArray m_head; // the request head as it comes in, later the server's answer head
    QByteArray m_up;   // what is to go to the server once it is connected
    QByteArray m_url;  // a forwarded request's address
};

} // namespace tarvoni
