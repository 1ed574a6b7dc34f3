// What the engine does next when an entry ends: the stream session on its own, no engine.
#include "player/stream_session.h"

#include <QTest>

using namespace tarvoni;
using std::chrono::milliseconds;

namespace {

QString described(const SessionAction &action)
{
    switch (action.kind) {
    case SessionAction::Kind::Open:
        return action.attempt > 0
            ? QStringLiteral("open %1 (attempt %2)").arg(action.address).arg(action.attempt)
            : QStringLiteral("open ") + action.address;
    case SessionAction::Kind::Probe:
        return QStringLiteral("probe ") + action.address;
    case SessionAction::Kind::Reconnect:
        return QStringLiteral("wait %1 ms%2")
            .arg(action.wait.count())
            .arg(action.stalled ? QStringLiteral(" (stalled)") : QString());
    case SessionAction::Kind::Fail:
        break;
    }
    return QStringLiteral("fail: ") + status::failed(action.failure, QStringLiteral("h"));
}

// One step: "start ADDRESS", "reconnect", "playing", "networkback", "nosound [ENTRY...]",
// "notaudio", "lost", "stalled", "probe noanswer|notaudio [ENTRY...]". Each but "playing" and
// "networkback" gives the next action.
std::optional<SessionAction> step(StreamSession &session, const QString &line)
{
    QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QString verb = words.takeFirst();
    if (verb == QLatin1String("start"))
        return session.start(words.value(0));
    if (verb == QLatin1String("reconnect"))
        return session.reconnect();
    if (verb == QLatin1String("playing")) {
        session.entryPlaying();
        return std::nullopt;
    }
    if (verb == QLatin1String("networkback")) {
        session.networkMayBeBack();
        return std::nullopt;
    }
    if (verb == QLatin1String("nosound"))
        return session.entryEnded(EntryEnd::NoSound, words);
    if (verb == QLatin1String("notaudio"))
        return session.entryEnded(EntryEnd::NotAudio);
    if (verb == QLatin1String("lost"))
        return session.entryEnded(EntryEnd::Lost);
    if (verb == QLatin1String("stalled"))
        return session.entryEnded(EntryEnd::Stalled);
    const Failure found = words.takeFirst() == QLatin1String("noanswer") ? Failure::NoAnswer
                                                                         : Failure::NotAudio;
    return session.probeAnswered({found, 0}, words);
}

QStringList manyEntries(int count)
{
    QStringList entries;
    for (int i = 0; i < count; ++i)
        entries << QStringLiteral("http://e/%1").arg(i);
    return entries;
}

} // namespace

class TestStreamSession : public QObject {
    Q_OBJECT

private slots:
    void decidesWhatFollows_data();
    void decidesWhatFollows();
    void triesAtMostTwentyFourEntries();
};

void TestStreamSession::decidesWhatFollows_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("actions");

    QTest::newRow("a station that fails is probed")
        << QStringList{"start http://s/live", "nosound", "probe noanswer"}
        << QStringList{"open http://s/live", "probe http://s/live", "fail: No answer from h"};
    QTest::newRow("its own address blank-padded")
        << QStringList{"start  http://s/live "} << QStringList{"open http://s/live"};
    QTest::newRow("its own address no stream")
        << QStringList{"start file:///etc/passwd"} << QStringList{"fail: Address refused: file:"};
    QTest::newRow("playlist entries in order, the refused never opened")
        << QStringList{"start http://s/a.asx", "nosound file:///home/t.mp3 udp://@:5004 http://s/tone",
                       "lost"}
        << QStringList{"open http://s/a.asx", "open http://s/tone", "wait 1000 ms"};
    QTest::newRow("a playlist of refused entries says so")
        << QStringList{"start http://s/a.asx", "nosound FD://3 smb://x/y"}
        << QStringList{"open http://s/a.asx", "fail: Playlist entry refused: fd:"};
    QTest::newRow("refused and dead entries: nothing playable")
        << QStringList{"start http://s/a.asx", "nosound file:///x http://dead/", "nosound"}
        << QStringList{"open http://s/a.asx", "open http://dead/", "fail: Playlist has nothing playable"};
    QTest::newRow("an mms redirect is an entry like any other")
        << QStringList{"start mms://s/x", "nosound mms://t/y", "playing", "stalled"}
        << QStringList{"open mms://s/x", "open mms://t/y", "wait 1000 ms (stalled)"};
    QTest::newRow("nested playlists go first")
        << QStringList{"start http://s/a.pls", "nosound http://s/b.m3u http://s/c", "nosound http://s/d",
                       "nosound"}
        << QStringList{"open http://s/a.pls", "open http://s/b.m3u", "open http://s/d", "open http://s/c"};
    QTest::newRow("a playlist found by the probe")
        << QStringList{"start http://s/noext", "nosound", "probe notaudio file:///x http://s/tone"}
        << QStringList{"open http://s/noext", "probe http://s/noext", "open http://s/tone"};
    QTest::newRow("undecodable bytes are no audio stream")
        << QStringList{"start http://s/garbage", "notaudio"}
        << QStringList{"open http://s/garbage", "fail: Not an audio stream"};
    QTest::newRow("undecodable playlist entry: the next one")
        << QStringList{"start http://s/a.asx", "nosound http://s/garbage http://s/tone", "notaudio"}
        << QStringList{"open http://s/a.asx", "open http://s/garbage", "open http://s/tone"};
    QTest::newRow("reconnects back off and reset once playing")
        << QStringList{"start http://s/live", "playing",  "lost",      "reconnect", "nosound",
                       "reconnect",           "notaudio", "reconnect", "playing",   "lost"}
        << QStringList{"open http://s/live",
                       "wait 1000 ms",
                       "open http://s/live (attempt 1)",
                       "wait 2000 ms",
                       "open http://s/live (attempt 2)",
                       "wait 4000 ms",
                       "open http://s/live (attempt 3)",
                       "wait 1000 ms"};
    QTest::newRow("network back during an attempt: the next one at once, then the back-off")
        << QStringList{"start http://s/live", "playing", "networkback", "lost",   "reconnect",
                       "networkback",         "nosound", "reconnect",   "nosound"}
        << QStringList{"open http://s/live",
                       "wait 1000 ms",
                       "open http://s/live (attempt 1)",
                       "wait 0 ms",
                       "open http://s/live (attempt 2)",
                       "wait 4000 ms"};
    QTest::newRow("a new start forgets the attempts")
        << QStringList{"start http://s/live", "lost", "reconnect", "start http://s/other", "nosound"}
        << QStringList{"open http://s/live", "wait 1000 ms", "open http://s/live (attempt 1)",
                       "open http://s/other", "probe http://s/other"};
}

void TestStreamSession::decidesWhatFollows()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, actions);

    StreamSession session;
    QStringList got;
    for (const QString &line : steps) {
        if (const auto action = step(session, line))
            got << described(*action);
    }
    QCOMPARE(got, actions);
}

void TestStreamSession::triesAtMostTwentyFourEntries()
{
    StreamSession session;
    QStringList opened;
    SessionAction action = session.start(QStringLiteral("http://s/huge.m3u"));
    action = session.entryEnded(EntryEnd::NoSound, manyEntries(100000));
    while (action.kind == SessionAction::Kind::Open) {
        opened << action.address;
        action = session.entryEnded(EntryEnd::NoSound, manyEntries(3)); // every entry a playlist again
    }
    QCOMPARE(opened.size(), 23); // and the playlist itself
    QCOMPARE(described(action), QStringLiteral("fail: Playlist has nothing playable"));
}

QTEST_APPLESS_MAIN(TestStreamSession)
#include "test_stream_session.moc"
