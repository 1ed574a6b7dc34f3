#include "sound_capture.h"

#include "event_wait.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace bench {

namespace {

constexpr int kRate = 44100;
constexpr int kFrameBytes = 4;             // s16le, two channels
constexpr int kWindowFrames = kRate / 100; // 10 ms
// The program starts at a quarter of full volume, which the sound server makes -36 dB: the
// test tones then peak near 40. Silence from the null sink is exact zeros.
constexpr int kLoud = 4;
constexpr qint64 kFrameNs = 1000000000LL / kRate;

} // namespace

SoundCapture::~SoundCapture()
{
    m_parec.kill();
    m_parec.waitForFinished(2000);
}

bool SoundCapture::start(const QProcessEnvironment &env, const QString &monitor)
{
    m_parec.setProcessEnvironment(env);
    QObject::connect(&m_parec, &QProcess::readyReadStandardOutput, &m_parec, [this] { read(); });
    m_parec.start(QStringLiteral("parec"),
                  {QStringLiteral("--device=") + monitor, QStringLiteral("--raw"),
                   QStringLiteral("--format=s16le"), QStringLiteral("--rate=%1").arg(kRate),
                   QStringLiteral("--channels=2"), QStringLiteral("--latency-msec=10")});
    return m_parec.waitForStarted(5000) && waitUntil([this] { return m_windows.size() > 10; }, 5000);
}

void SoundCapture::read()
{
    const qint64 arrivedNs = nowNs();
    m_pending += m_parec.readAllStandardOutput();
    const qsizetype windowBytes = kWindowFrames * kFrameBytes;
    const qsizetype whole = m_pending.size() / windowBytes;
    for (qsizetype w = 0; w < whole; ++w) {
        // The last frame that arrived now was played just now; earlier ones before it.
        const qint64 framesAfter = (whole - w) * kWindowFrames;
        Window window{arrivedNs - framesAfter * kFrameNs, -1};
        const char *data = m_pending.constData() + w * windowBytes;
        for (int i = 0; i < kWindowFrames * 2; ++i) {
            qint16 sample;
            std::memcpy(&sample, data + i * 2, 2);
            if (std::abs(int(sample)) > kLoud) {
                window.loudNs = window.startNs + (i / 2) * kFrameNs;
                break;
            }
        }
        m_windows.push_back(window);
    }
    m_pending.remove(0, whole * windowBytes);
}

qint64 SoundCapture::firstLoudAfter(qint64 fromNs) const
{
    // Windows come in order of arrival; start a little early for the jitter between reads.
    auto it = std::lower_bound(m_windows.begin(), m_windows.end(), fromNs - 50000000,
                               [](const Window &window, qint64 ns) { return window.startNs < ns; });
    for (; it != m_windows.end(); ++it) {
        if (it->loudNs >= fromNs)
            return it->loudNs;
    }
    return -1;
}

bool SoundCapture::quietFor(int ms, qint64 fromNs) const
{
    const size_t count = size_t(ms / 10);
    if (m_windows.size() < count || m_windows.back().startNs - qint64(ms) * 1000000 < fromNs)
        return false;
    for (size_t i = m_windows.size() - count; i < m_windows.size(); ++i) {
        if (m_windows[i].loudNs >= 0)
            return false;
    }
    return true;
}

SoundCapture::Gaps SoundCapture::gapsBetween(qint64 fromNs, qint64 toNs) const
{
    Gaps gaps;
    int quietRun = 0;
    qint64 runStart = 0;
    auto endRun = [&] {
        if (quietRun >= 2) {
            ++gaps.count;
            gaps.totalMs += quietRun * 10;
            gaps.list.emplace_back(double(runStart - fromNs) / 1e6, quietRun * 10.0);
        }
        quietRun = 0;
    };
    for (const Window &window : m_windows) {
        if (window.startNs < fromNs || window.startNs > toNs)
            continue;
        if (window.loudNs >= 0) {
            endRun();
            continue;
        }
        if (quietRun++ == 0)
            runStart = window.startNs;
    }
    endRun();
    return gaps;
}

} // namespace bench
