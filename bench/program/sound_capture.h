#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <vector>

namespace bench {

// What the sound server plays, read back from the null sink's monitor with parec, cut into
// 10 ms windows timestamped on arrival. A window is loud when any sample in it is.
class SoundCapture {
public:
    struct Gaps {
        int count = 0;
        double totalMs = 0;
        std::vector<std::pair<double, double>> list; // (ms after the start of the span, ms long)
    };

    ~SoundCapture();
    bool start(const QProcessEnvironment &env, const QString &monitor);

    // Time of the first loud sample at or after `fromNs`, or -1 when there is none yet.
    qint64 firstLoudAfter(qint64 fromNs) const;
    // The last `ms` captured are quiet and were played after `fromNs`.
    bool quietFor(int ms, qint64 fromNs) const;
    // Runs of quiet windows of 20 ms or more between `fromNs` and `toNs`.
    Gaps gapsBetween(qint64 fromNs, qint64 toNs) const;
    // Forgets what was captured before now (for long runs).
    void forget() { m_windows.clear(); }

private:
    struct Window {
        qint64 startNs; // when its first frame was played
        qint64 loudNs;  // its first loud frame, or -1
    };
    void read();

    QProcess m_parec;
    QByteArray m_pending;
    std::vector<Window> m_windows;
};

} // namespace bench
