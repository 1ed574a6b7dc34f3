#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <vector>

namespace bench {

// With --mms-trace, where an mms station's start spends its time: the relay's milestones (first
// bytes, header and first data packet whole, each handed on to the engine) and the engine's few
// lines that tell when it began to play, taken from the program's standard error, whose lines
// carry the monotonic clock's seconds.
class MmsTrace {
public:
    // Keeps `line` when it is one of those.
    void take(const QByteArray &line);
    // Prints the lines kept from `fromNs` on, in ms after it, then forgets every line kept.
    void print(qint64 fromNs);

private:
    std::vector<std::pair<qint64, QByteArray>> m_lines;
};

} // namespace bench
