#include "coalescing_front.h"

#include "event_wait.h"

#include <algorithm>
#include <array>
#include <ctime>

namespace bench {

namespace {

// Sizes that fall across packets and their headers anywhere, as a front's buffers do.
constexpr std::array<size_t, 5> kPieces{1361, 89, 2897, 613, 7};
// Between two pieces: enough for the listener to read each on its own.
constexpr long kBetweenPiecesNs = 1000000;

} // namespace

void CoalescingFront::take(const char *data, size_t size)
{
    if (m_held.empty())
        m_heldSinceNs = nowNs();
    m_held.append(data, size);
}

int CoalescingFront::msUntilDue() const
{
    if (m_held.empty())
        return -1;
    const qint64 left = m_heldSinceNs + qint64(m_gatherMs) * 1000000 - nowNs();
    return left <= 0 ? 0 : int((left + 999999) / 1000000);
}

bool CoalescingFront::flush(const std::function<bool(const char *, size_t)> &write)
{
    for (size_t at = 0; at < m_held.size();) {
        if (at != 0) {
            const timespec pause{0, kBetweenPiecesNs};
            ::nanosleep(&pause, nullptr);
        }
        const size_t piece = std::min(kPieces[m_nextPiece++ % kPieces.size()], m_held.size() - at);
        if (!write(m_held.data() + at, piece))
            return false;
        at += piece;
    }
    m_held.clear();
    return true;
}

} // namespace bench
