#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <memory>

namespace tarvoni::testing {

// tests/player/stream_server.py on 127.0.0.1: a radio server with playlists, ICY titles and
// every kind of misbehaviour the player must survive. Stops when this object goes away.
class LoopbackRadio {
public:
    LoopbackRadio() = default;
    ~LoopbackRadio();
    LoopbackRadio(const LoopbackRadio &) = delete;
    LoopbackRadio &operator=(const LoopbackRadio &) = delete;

    bool start(QString *error);

    // "http://127.0.0.1:<port><path>"
    QString url(const QString &path) const;
    int port() const { return m_port; }
    // "https://127.0.0.1:<port><path>": the same server over TLS, with a certificate of its own
    // in certificateFile() (trusted by the program's own TLS when SSL_CERT_FILE names it).
    QString tlsUrl(const QString &path) const;
    QString certificateFile() const;
    int silentPort() const { return m_silentPort; } // accepts and never answers
    int deadPort() const { return m_deadPort; }     // refuses connections
    // Streams dropped with down=hold are served again from now on.
    void bringDroppedStreamsUp();
    // A forwarding proxy (http and CONNECT) to the server's ports, for any host name (the
    // certificate is valid for "radio.invalid" too); proxyLog() has the first request line of
    // each connection it took. It refuses to tunnel to the host "plain.invalid", as a proxy
    // that tunnels only to https's port would refuse plain http.
    int proxyPort() const { return m_proxyPort; }
    QByteArray proxyLog() const;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    int m_port = 0;
    int m_silentPort = 0;
    int m_deadPort = 0;
    int m_tlsPort = 0;
    int m_proxyPort = 0;
};

// Debian's Icecast 2 on 127.0.0.1, run as its own user, fed a tone by ffmpeg at mount /tone.mp3.
class IcecastRadio {
public:
    IcecastRadio() = default;
    ~IcecastRadio();
    IcecastRadio(const IcecastRadio &) = delete;
    IcecastRadio &operator=(const IcecastRadio &) = delete;

    // False with a reason when Icecast or ffmpeg is missing or does not come up.
    bool start(QString *error);
    QString streamUrl() const;
    // Sets the mount's title through the admin interface.
    bool setTitle(const QString &title, QString *error);

private:
    QTemporaryDir m_dir;
    QProcess m_icecast;
    QProcess m_source;
    int m_port = 0;
};

// VLC's own MMS-over-HTTP server on 127.0.0.1, streaming a tone as WMA: what an `mms`
// station is played through. Run as an unprivileged user (VLC will not run as root).
class MmshRadio {
public:
    MmshRadio() = default;
    ~MmshRadio();
    MmshRadio(const MmshRadio &) = delete;
    MmshRadio &operator=(const MmshRadio &) = delete;

    // The server plays a tone of `toneSeconds` in a loop; at each turn of the loop it ends the
    // stream and drops its listeners, as a server whose programme ends would.
    bool start(QString *error, int toneSeconds = 20);
    // "mms://127.0.0.1:<port>/"
    QString mmsUrl() const;

private:
    QTemporaryDir m_dir;
    QProcess m_server;
    int m_port = 0;
};

// A loopback TCP port nobody listens on right now.
int freeLoopbackPort();

// One blocking HTTP GET on 127.0.0.1; returns the whole answer, or an empty array.
QByteArray loopbackGet(int port, const QByteArray &pathAndQuery, const QByteArray &basicAuth = {});

} // namespace tarvoni::testing
