#include "mms_trace.h"

#include <cstdio>

namespace bench {

namespace {

// The engine's lines worth a place in the trace: when it has buffered enough, and each thing
// its audio output does about a stream that comes too early or too late.
constexpr const char *kEngineLines[] = {
    "Stream buffering done",
    "Decoder wait done",
    "playback too",
    "playback way too",
    "playing silence",
    "inserting",
    "too late",
    "flushing",
    "-sampling",
    "buffering",
};

} // namespace

void MmsTrace::take(const QByteArray &line)
{
    const qsizetype space = line.indexOf(' ');
    bool ok = false;
    const double seconds = line.left(space).toDouble(&ok);
    if (!ok || space < 0)
        return;
    bool wanted = line.contains("[relay] mms");
    for (const char *text : kEngineLines)
        wanted = wanted || line.contains(text);
    if (wanted)
        m_lines.emplace_back(qint64(seconds * 1e9), line.mid(space + 1));
}

void MmsTrace::print(qint64 fromNs)
{
    for (const auto &[at, text] : m_lines) {
        // The lines' clock has milliseconds only.
        if (at >= fromNs - 1000000)
            std::fprintf(stderr, "    %+7.0f ms  %s\n", double(at - fromNs) / 1e6, text.constData());
    }
    m_lines.clear();
}

} // namespace bench
