#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTcpServer>

#include <deque>
#include <optional>

class QUrl;

namespace tarvoni {

class ProxyConnection;
struct ProxyRequest;

// The forwarding HTTP proxy on the loopback interface that the panes' web engine fetches
// everything through. It counts the bytes that come down for each pane's current page load
// and cuts a load off once they pass the limit: the pane's connections are closed, and its
// new requests refused, until the pane starts its next load.
//
// The proxy sees no panes, only requests. A plain http request is charged to the pane that
// noted that address, the earliest first; a tunnel (https, wss) to every pane that noted an
// address of its host and port in its current load; and anything that matches nothing to
// every pane, so that a page cannot hide what it fetches by being unmatchable.
// Lives on the thread that made it; nothing here blocks.
class AdTrafficMeter : public QObject {
    Q_OBJECT

public:
    explicit AdTrafficMeter(qint64 limitBytes, QObject *parent = nullptr);

    // Listens on 127.0.0.1, on a port the system picks.
    bool listen();
    quint16 port() const { return m_server.serverPort(); }

    // The pane's page is about to fetch `url`.
    void noteRequest(int pane, const QUrl &url);
    // The pane begins a new page load: its count starts again, and a pane cut off may fetch.
    void startLoad(int pane);
    // The bytes that have come down for the pane's current load.
    qint64 loadBytes(int pane) const { return m_panes.value(pane).bytes; }

signals:
    // Once per load, as soon as the pane's load has passed the limit.
    void loadOverLimit(int pane);

private:
    struct PaneLoad {
        qint64 bytes = 0;
        bool cutOff = false;
        QSet<QString> tunnelHosts; // "host:port" of its https and wss addresses
    };
    struct Noted {
        quint64 serial = 0;
        int pane = 0;
        qint64 at = 0;
    };
    // Whom a connection's bytes are charged to: the pane that noted its address; for a tunnel,
    // the panes whose current load has noted its host, as they are when the bytes come (the
    // engine may reuse a tunnel for another page); every pane when none is found.
    struct Charge {
        std::optional<int> pane;
        QString tunnelHost;
    };

    void accept();
    bool admit(ProxyConnection *connection, const ProxyRequest &request);
    Charge chargeFor(const ProxyRequest &request);
    QList<int> panesOf(const Charge &charge) const;
    void count(ProxyConnection *connection, qint64 bytes);
    void cutOff(int pane);
    void forgetExpired();

    QTcpServer m_server;
    const qint64 m_limit;
    QElapsedTimer m_clock;
    QHash<int, PaneLoad> m_panes;
    // Noted plain http addresses not yet fetched, by address, oldest first; and all of them in
    // the order they were noted, to forget them when they expire.
    QHash<QString, std::deque<Noted>> m_noted;
    std::deque<std::pair<QString, Noted>> m_notedInOrder;
    quint64 m_nextSerial = 0;
    QHash<ProxyConnection *, Charge> m_connections;
};

} // namespace tarvoni
