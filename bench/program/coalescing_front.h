#pragma once

#include <QtGlobal>

#include <functional>
#include <string>

namespace bench {

// What a station's own forwarding front may do to a stream on its way to a listener: it gathers
// what the server sends for a while from the first byte it holds, then writes it on in pieces
// of odd sizes a moment apart. Packets then reach the listener two or more at once, and split
// across reads.
class CoalescingFront {
public:
    explicit CoalescingFront(int gatherMs)
        : m_gatherMs(gatherMs)
    {
    }

    // Takes bytes the server sent.
    void take(const char *data, size_t size);
    // How long until what is held is to be written on, in ms (0: now); -1 while nothing is held.
    int msUntilDue() const;
    // Writes what is held in pieces through `write`; false once a write has failed.
    bool flush(const std::function<bool(const char *, size_t)> &write);

private:
    int m_gatherMs;
    std::string m_held;
    qint64 m_heldSinceNs = 0;
    size_t m_nextPiece = 0;
};

} // namespace bench
