#include "loopback_servers.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QThread>
#include <QUrl>

#include <arpa/inet.h>
#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace tarvoni::testing {

namespace {

const char *const kAdminPassword = "loopback-admin";
const char *const kSourcePassword = "loopback-source";

void stopProcess(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.closeWriteChannel();
    process.terminate();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(3000);
    }
}

int connectLoopback(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    timeval timeout{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// The tones the server generates, kept between runs: making the HLS segments takes seconds.
QString mediaCache()
{
    return QDir::tempPath() + QStringLiteral("/tarvoni-loopback-media-") + QString::number(::getuid());
}

} // namespace

int freeLoopbackPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

QByteArray loopbackGet(int port, const QByteArray &pathAndQuery, const QByteArray &basicAuth)
{
    const int fd = connectLoopback(port);
    if (fd < 0)
        return {};
    QByteArray request = "GET " + pathAndQuery + " HTTP/1.0\r\nHost: 127.0.0.1\r\n";
    if (!basicAuth.isEmpty())
        request += "Authorization: Basic " + basicAuth.toBase64() + "\r\n";
    request += "\r\n";
    QByteArray answer;
    if (::send(fd, request.constData(), size_t(request.size()), MSG_NOSIGNAL) == request.size()) {
        char buffer[4096];
        ssize_t n;
        while ((n = ::recv(fd, buffer, sizeof buffer, 0)) > 0)
            answer.append(buffer, n);
    }
    ::close(fd);
    return answer;
}

LoopbackRadio::~LoopbackRadio()
{
    stopProcess(m_process);
}

bool LoopbackRadio::start(QString *error)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral("python3"),
                    {QStringLiteral(TARVONI_SOURCE_DIR "/tests/player/stream_server.py"),
                     QStringLiteral("--workdir"), m_dir.path(), QStringLiteral("--cache"), mediaCache()});
    // The first start generates the tones with ffmpeg.
    QDeadlineTimer deadline(60000);
    QByteArray line;
    while (!line.contains('\n') && !deadline.hasExpired() && m_process.state() != QProcess::NotRunning) {
        m_process.waitForReadyRead(200);
        line += m_process.readAllStandardOutput();
    }
    const QList<QByteArray> words = line.trimmed().split(' ');
    if (words.size() != 10 || words[0] != "PORT") {
        *error = QStringLiteral("stream_server.py did not start: ") + QString::fromUtf8(line);
        return false;
    }
    m_port = words[1].toInt();
    m_silentPort = words[3].toInt();
    m_deadPort = words[5].toInt();
    m_tlsPort = words[7].toInt();
    m_proxyPort = words[9].toInt();
    return true;
}

void LoopbackRadio::bringDroppedStreamsUp()
{
    m_process.write("up\n");
    m_process.waitForBytesWritten();
}

QString LoopbackRadio::url(const QString &path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
}

QString LoopbackRadio::tlsUrl(const QString &path) const
{
    return QStringLiteral("https://127.0.0.1:%1%2").arg(m_tlsPort).arg(path);
}

QByteArray LoopbackRadio::proxyLog() const
{
    QFile log(m_dir.filePath(QStringLiteral("proxy.log")));
    return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
}

QString LoopbackRadio::certificateFile() const
{
    return m_dir.filePath(QStringLiteral("tls-cert.pem"));
}

IcecastRadio::~IcecastRadio()
{
    stopProcess(m_source);
    stopProcess(m_icecast);
}

bool IcecastRadio::start(QString *error)
{
    const QString icecast = QStandardPaths::findExecutable(QStringLiteral("icecast2"));
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    if (icecast.isEmpty() || ffmpeg.isEmpty()) {
        *error = QStringLiteral("icecast2 and ffmpeg are needed");
        return false;
    }
    const passwd *user = ::getpwnam("icecast2");
    m_port = freeLoopbackPort();
    const QString dir = m_dir.path();
    QString config = QStringLiteral(R"(<icecast>
  <location>loopback</location><admin>test@localhost</admin>
  <limits><clients>20</clients><sources>2</sources><burst-on-connect>1</burst-on-connect><burst-size>32768</burst-size></limits>
  <authentication><source-password>%2</source-password><admin-user>admin</admin-user><admin-password>%3</admin-password></authentication>
  <hostname>127.0.0.1</hostname>
  <listen-socket><port>%1</port><bind-address>127.0.0.1</bind-address></listen-socket>
  <fileserve>1</fileserve>
  <paths><basedir>/usr/share/icecast2</basedir><logdir>%4</logdir><webroot>/usr/share/icecast2/web</webroot><adminroot>/usr/share/icecast2/admin</adminroot></paths>
  <logging><accesslog>access.log</accesslog><errorlog>error.log</errorlog><loglevel>2</loglevel></logging>
)")
                         .arg(m_port)
                         .arg(QLatin1String(kSourcePassword), QLatin1String(kAdminPassword), dir);
    if (::geteuid() == 0) {
        // Icecast will not run as root: it drops to its own user, who must own the log folder.
        if (!user) {
            *error = QStringLiteral("the icecast2 user is missing");
            return false;
        }
        const group *grp = ::getgrgid(user->pw_gid);
        config += QStringLiteral("  "
                                 "<security><chroot>0</chroot><changeowner><user>icecast2</user><group>%1</"
                                 "group></changeowner></security>\n")
                      .arg(QString::fromLocal8Bit(grp ? grp->gr_name : "icecast"));
        if (::chown(dir.toLocal8Bit().constData(), user->pw_uid, user->pw_gid) != 0) {
            *error = QStringLiteral("cannot hand the log folder to icecast2");
            return false;
        }
    }
    config += QStringLiteral("</icecast>\n");
    QFile file(dir + QStringLiteral("/icecast.xml"));
    if (!file.open(QIODevice::WriteOnly) || file.write(config.toUtf8()) < 0) {
        *error = QStringLiteral("cannot write the Icecast configuration");
        return false;
    }
    file.close();

    m_icecast.setProcessChannelMode(QProcess::ForwardedChannels);
    m_icecast.start(icecast, {QStringLiteral("-c"), file.fileName()});
    QDeadlineTimer up(10000);
    while (loopbackGet(m_port, "/status-json.xsl").isEmpty()) {
        if (up.hasExpired() || m_icecast.state() == QProcess::NotRunning) {
            *error = QStringLiteral("Icecast did not come up");
            return false;
        }
        QThread::msleep(100);
    }

    m_source.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_source.start(ffmpeg,
                   {QStringLiteral("-nostdin"), QStringLiteral("-loglevel"), QStringLiteral("error"),
                    QStringLiteral("-re"), QStringLiteral("-f"), QStringLiteral("lavfi"),
                    QStringLiteral("-i"), QStringLiteral("sine=frequency=330:sample_rate=44100"),
                    QStringLiteral("-ac"), QStringLiteral("2"), QStringLiteral("-c:a"),
                    QStringLiteral("libmp3lame"), QStringLiteral("-b:a"), QStringLiteral("128k"),
                    QStringLiteral("-content_type"), QStringLiteral("audio/mpeg"), QStringLiteral("-f"),
                    QStringLiteral("mp3"),
                    QStringLiteral("icecast://source:%1@127.0.0.1:%2/tone.mp3")
                        .arg(QLatin1String(kSourcePassword))
                        .arg(m_port)});
    QDeadlineTimer mounted(10000);
    while (!loopbackGet(m_port, "/status-json.xsl").contains("tone.mp3")) {
        if (mounted.hasExpired() || m_source.state() == QProcess::NotRunning) {
            *error = QStringLiteral("ffmpeg did not reach Icecast");
            return false;
        }
        QThread::msleep(100);
    }
    return true;
}

QString IcecastRadio::streamUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1/tone.mp3").arg(m_port);
}

bool IcecastRadio::setTitle(const QString &title, QString *error)
{
    const QByteArray query = "/admin/metadata?mount=/tone.mp3&mode=updinfo&song="
        + QUrl::toPercentEncoding(title);
    const QByteArray answer = loopbackGet(m_port, query, QByteArray("admin:") + kAdminPassword);
    if (!answer.startsWith("HTTP/1.0 200") && !answer.startsWith("HTTP/1.1 200")) {
        *error = QStringLiteral("Icecast refused the title: ") + QString::fromUtf8(answer.left(200));
        return false;
    }
    return true;
}

MmshRadio::~MmshRadio()
{
    stopProcess(m_server);
}

bool MmshRadio::start(QString *error, int toneSeconds)
{
    const QString cvlc = QStandardPaths::findExecutable(QStringLiteral("cvlc"));
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    if (cvlc.isEmpty() || ffmpeg.isEmpty()) {
        *error = QStringLiteral("cvlc and ffmpeg are needed");
        return false;
    }
    const QString tone = m_dir.filePath(QStringLiteral("tone.mp3"));
    QProcess encode;
    encode.start(ffmpeg,
                 {QStringLiteral("-nostdin"), QStringLiteral("-loglevel"), QStringLiteral("error"),
                  QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                  QStringLiteral("sine=frequency=550:duration=%1").arg(toneSeconds), QStringLiteral("-ac"),
                  QStringLiteral("2"), QStringLiteral("-b:a"), QStringLiteral("128k"), tone});
    if (!encode.waitForFinished(30000) || encode.exitCode() != 0) {
        *error = QStringLiteral("ffmpeg could not make the tone");
        return false;
    }
    // Readable by the unprivileged server.
    QFile::setPermissions(m_dir.path(),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther
                              | QFile::ExeOther | QFile::ReadGroup | QFile::ExeGroup);
    QFile::setPermissions(tone, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther | QFile::ReadGroup);

    m_port = freeLoopbackPort();
    QStringList command{cvlc, QStringLiteral("-I"), QStringLiteral("dummy"),
                        QStringLiteral("--ignore-config"), QStringLiteral("--no-video"),
                        // A server plays nothing: it leaves the machine's sound server alone.
                        QStringLiteral("--aout=dummy"), QStringLiteral("--quiet"), QStringLiteral("--loop"),
                        QStringLiteral("--sout-mux-caching=200"), tone, QStringLiteral("--sout"),
                        QStringLiteral("#transcode{acodec=wma2,ab=128,channels=2,samplerate=44100}:"
                                       "std{access=mmsh,mux=asfh,dst=127.0.0.1:%1}")
                            .arg(m_port)};
    if (::geteuid() == 0) {
        command = QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                              QStringLiteral("--clear-groups"), QStringLiteral("env"),
                              QStringLiteral("HOME=") + m_dir.path()}
            + command;
        command.prepend(QStringLiteral("setpriv"));
    }
    m_server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_server.start(command.takeFirst(), command);
    QDeadlineTimer up(15000);
    // Ready once it hands out the stream's ASF header.
    while (!loopbackGet(m_port, "/").contains("\r\n\r\n$H")) {
        if (up.hasExpired() || m_server.state() == QProcess::NotRunning) {
            *error = QStringLiteral("VLC's MMS server did not come up");
            return false;
        }
        QThread::msleep(100);
    }
    return true;
}

QString MmshRadio::mmsUrl() const
{
    return QStringLiteral("mms://127.0.0.1:%1/").arg(m_port);
}

} // namespace tarvoni::testing
