// The network watcher: what it reads in the kernel's announcements, and a station that lost its
// stream with the network playing again as soon as the network is back, in a network namespace
// of the test's own (tests/in_private_network.sh).
#include "loopback_servers.h"
#include "patience.h"
#include "player_test_support.h"
#include "private_network.h"

#include "desktop/network_watcher.h"
#include "vlc/vlc_media_player.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <cstring>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <vector>

using namespace tarvoni;
using namespace tarvoni::testing;

namespace {

const QStringList kQuietOutput{QStringLiteral("--aout=adummy")};

// One rtnetlink message: its header, then `payload`.
template <typename Payload>
QByteArray message(quint16 type, const Payload &payload)
{
    nlmsghdr header{};
    header.nlmsg_len = NLMSG_LENGTH(sizeof payload);
    header.nlmsg_type = type;
    QByteArray bytes(reinterpret_cast<const char *>(&header), sizeof header);
    bytes.append(reinterpret_cast<const char *>(&payload), sizeof payload);
    return bytes.leftJustified(int(NLMSG_ALIGN(header.nlmsg_len)), '\0');
}

QByteArray link(unsigned flags)
{
    ifinfomsg info{};
    info.ifi_flags = flags;
    return message(RTM_NEWLINK, info);
}

QByteArray address(quint16 type, quint8 flags)
{
    ifaddrmsg info{};
    info.ifa_flags = flags;
    return message(type, info);
}

QByteArray route(quint16 type, unsigned flags)
{
    rtmsg info{};
    info.rtm_flags = flags;
    return message(type, info);
}

// `bytes` with its first header's length set to `length`.
QByteArray withLength(QByteArray bytes, quint32 length)
{
    std::memcpy(bytes.data(), &length, sizeof length);
    return bytes;
}

bool isPlaying(const MediaPlayer &player)
{
    return player.status().startsWith(QLatin1String("Playing"));
}

bool ip(const QStringList &arguments)
{
    return QProcess::execute(QStringLiteral("ip"), arguments) == 0;
}

} // namespace

class TestNetworkWatcher : public QObject {
    Q_OBJECT

private slots:
    void readsAnnouncements_data();
    void readsAnnouncements();
    void addressChangeLeavesStationPlaying();
    void stationReturnsWithTheNetwork();

private:
    // The real player and watcher, wired as the program wires them; the radio started.
    bool setUp(vlc::VlcPlayerOptions options);

    LoopbackRadio m_radio;
    std::unique_ptr<vlc::VlcMediaPlayer> m_player;
    std::unique_ptr<NetworkWatcher> m_watcher;
};

void TestNetworkWatcher::readsAnnouncements_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("mayBeBack");

    const QByteArray up = link(IFF_UP | IFF_RUNNING | IFF_MULTICAST);
    QTest::newRow("link up and running") << up << true;
    QTest::newRow("loopback up") << link(IFF_UP | IFF_LOOPBACK | IFF_RUNNING) << true;
    QTest::newRow("link up, no carrier") << link(IFF_UP) << false;
    QTest::newRow("link down") << link(0) << false;
    QTest::newRow("address added") << address(RTM_NEWADDR, 0) << true;
    QTest::newRow("address still tentative") << address(RTM_NEWADDR, IFA_F_TENTATIVE) << false;
    QTest::newRow("address removed") << address(RTM_DELADDR, 0) << false;
    QTest::newRow("route added") << route(RTM_NEWROUTE, 0) << true;
    QTest::newRow("route cached") << route(RTM_NEWROUTE, RTM_F_CLONED) << false;
    QTest::newRow("route removed") << route(RTM_DELROUTE, 0) << false;
    QTest::newRow("link down, then address added") << link(0) + address(RTM_NEWADDR, 0) << true;
    QTest::newRow("nothing") << QByteArray() << false;
    QTest::newRow("half a header") << up.left(8) << false;
    QTest::newRow("cut short") << up.left(up.size() - 4) << false;
    QTest::newRow("longer than what was read") << withLength(up, quint32(up.size() + 64)) << false;
    QTest::newRow("shorter than its header") << withLength(up + up, 4) << false;
    QTest::newRow("no room for its payload") << withLength(up, NLMSG_HDRLEN) + up << false;
    QTest::newRow("bad one first") << withLength(address(RTM_DELADDR, 0), 0xffffffffu) + up << false;
}

void TestNetworkWatcher::readsAnnouncements()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, mayBeBack);
    // As a read from the socket has it: aligned, and nothing readable past its end.
    std::vector<nlmsghdr> aligned(size_t(bytes.size()) / sizeof(nlmsghdr) + 1);
    std::memcpy(aligned.data(), bytes.constData(), size_t(bytes.size()));
    QCOMPARE(announcesNetworkMayBeBack(aligned.data(), size_t(bytes.size())), mayBeBack);
}

bool TestNetworkWatcher::setUp(vlc::VlcPlayerOptions options)
{
    QString error;
    if (m_radio.port() == 0 && !m_radio.start(&error)) {
        qWarning() << error;
        return false;
    }
    m_player = std::make_unique<vlc::VlcMediaPlayer>(kQuietOutput, options);
    m_watcher = std::make_unique<NetworkWatcher>();
    // What the desktop's services do, through the window's media controls.
    connect(m_watcher.get(), &NetworkWatcher::networkMayBeBack, m_player.get(),
            &MediaPlayer::reconnectNowIfWaiting);
    return true;
}

// Networks add addresses and routes all the time (IPv6 above all): a station that plays goes
// on as it is.
void TestNetworkWatcher::addressChangeLeavesStationPlaying()
{
    if (const QString why = whyNoPrivateNetwork(); !why.isEmpty())
        QSKIP(qPrintable(why));
    QVERIFY(setUp(testOptions()));
    StatusLog log(m_player.get());
    m_player->setUrl(m_radio.url(QStringLiteral("/stream")));
    QTRY_VERIFY_WITH_TIMEOUT(isPlaying(*m_player), kPatienceMs);
    log.clear();

    QSignalSpy told(m_watcher.get(), &NetworkWatcher::networkMayBeBack);
    QVERIFY(ip({QStringLiteral("addr"), QStringLiteral("add"), QStringLiteral("127.0.0.2/8"),
                QStringLiteral("dev"), QStringLiteral("lo")}));
    QVERIFY(told.wait(kPatienceMs));
    for (const QString &text : log.texts)
        QVERIFY2(text.startsWith(QLatin1String("Playing")), qPrintable(log.texts.join(QLatin1String(" | "))));
    QVERIFY(isPlaying(*m_player));
}

// The network gone, the station waits to reconnect for longer than the test waits for anything;
// the network back, the station plays again long before that wait would have ended.
void TestNetworkWatcher::stationReturnsWithTheNetwork()
{
    if (const QString why = whyNoPrivateNetwork(); !why.isEmpty())
        QSKIP(qPrintable(why));
    vlc::VlcPlayerOptions options = testOptions();
    options.firstReconnectWait = std::chrono::minutes(10);
    options.maxReconnectWait = std::chrono::minutes(10);
    QVERIFY(setUp(options));
    StatusLog log(m_player.get());
    m_player->setUrl(m_radio.url(QStringLiteral("/stream")));
    QTRY_VERIFY_WITH_TIMEOUT(isPlaying(*m_player), kPatienceMs);

    QVERIFY(
        ip({QStringLiteral("link"), QStringLiteral("set"), QStringLiteral("lo"), QStringLiteral("down")}));
    QTRY_VERIFY_WITH_TIMEOUT(m_player->state().kind == PlayerState::Kind::WaitingToReconnect, kPatienceMs);
    QVERIFY(m_player->status().contains(QLatin1String("reconnecting in 600 s")));
    log.clear();

    QVERIFY(ip({QStringLiteral("link"), QStringLiteral("set"), QStringLiteral("lo"), QStringLiteral("up")}));
    QTRY_VERIFY_WITH_TIMEOUT(isPlaying(*m_player), kPatienceMs);
    QVERIFY2(log.texts.value(0).startsWith(QLatin1String("Reconnecting")),
             qPrintable(log.texts.join(QLatin1String(" | "))));
}

QTEST_GUILESS_MAIN(TestNetworkWatcher)
#include "test_network_watcher.moc"
