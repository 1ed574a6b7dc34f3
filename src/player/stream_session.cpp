#include "stream_session.h"

#include "stream_scheme.h"

#include <algorithm>
#include <utility>

namespace tarvoni {

SessionAction StreamSession::start(const QString &stationAddress)
{
    clear();
    m_station = stationAddress.trimmed();
    if (!isStreamAddress(m_station)) {
        SessionAction fail;
        fail.failure = {Failure::AddressRefused, 0, addressScheme(m_station)};
        return fail;
    }
    return reconnect();
}

SessionAction StreamSession::reconnect()
{
    m_queue.assign(1, m_station);
    m_opened = 0;
    m_openedEntries = 0;
    m_fromPlaylist = false;
    m_refused = false;
    m_refusedScheme.clear();
    return openNext();
}

void StreamSession::clear()
{
    m_queue.clear();
    m_current.clear();
    m_attempt = 0;
    m_networkBack = false;
}

SessionAction StreamSession::entryEnded(EntryEnd how, const QStringList &subItems)
{
    switch (how) {
    case EntryEnd::Lost:
    case EntryEnd::Stalled:
        return scheduleReconnect(how == EntryEnd::Stalled);
    case EntryEnd::NotAudio:
        if (m_queue.empty() && m_attempt == 0 && !m_fromPlaylist) {
            SessionAction fail;
            fail.failure = {Failure::NotAudio, 0, {}};
            return fail;
        }
        break;
    case EntryEnd::NoSound:
        // A playlist: its entries in order, each tried before what was queued after it.
        if (!subItems.isEmpty())
            takeEntries(subItems, true);
        break;
    }
    return openNext();
}

SessionAction StreamSession::probeAnswered(const FailureReport &failure, const QStringList &playlistEntries)
{
    if (!playlistEntries.isEmpty() && !m_fromPlaylist) {
        // A playlist the engine did not take for one (no telling name or type).
        takeEntries(playlistEntries, false);
        return openNext();
    }
    SessionAction fail;
    fail.failure = failure;
    return fail;
}

void StreamSession::takeEntries(const QStringList &entries, bool first)
{
    m_fromPlaylist = true;
    const qsizetype room = std::max<qsizetype>(0,
                                               m_options.maxEntries - m_opened - qsizetype(m_queue.size()));
    const QStringList taken = entries.mid(0, std::min(room, entries.size()));
    if (first)
        m_queue.insert(m_queue.begin(), taken.begin(), taken.end());
    else
        m_queue.insert(m_queue.end(), taken.begin(), taken.end());
}

SessionAction StreamSession::openNext()
{
    while (!m_queue.empty() && m_opened < m_options.maxEntries) {
        const QString address = m_queue.front();
        m_queue.pop_front();
        if (!isStreamAddress(address)) {
            if (!m_refused)
                m_refusedScheme = addressScheme(address);
            m_refused = true;
            continue;
        }
        ++m_opened;
        if (m_fromPlaylist)
            ++m_openedEntries;
        m_current = address;
        SessionAction open;
        open.kind = SessionAction::Kind::Open;
        open.address = address;
        open.attempt = m_attempt;
        return open;
    }
    m_queue.clear();
    return nothingLeft();
}

// Nothing more to open: wait for the next reconnect, or say why nothing played.
SessionAction StreamSession::nothingLeft()
{
    if (m_attempt > 0)
        return scheduleReconnect(false);
    SessionAction action;
    if (m_fromPlaylist && m_refused && m_openedEntries == 0) {
        action.failure = {Failure::EntryRefused, 0, m_refusedScheme};
    } else if (m_fromPlaylist) {
        action.failure = {Failure::NothingPlayable, 0, {}};
    } else {
        action.kind = SessionAction::Kind::Probe;
        action.address = m_current;
    }
    return action;
}

SessionAction StreamSession::scheduleReconnect(bool stalled)
{
    m_queue.clear();
    ++m_attempt;
    const int doublings = std::min(m_attempt - 1, 16);
    SessionAction action;
    action.kind = SessionAction::Kind::Reconnect;
    action.wait = std::min<std::chrono::milliseconds>(m_options.firstReconnectWait * (1 << doublings),
                                                      m_options.maxReconnectWait);
    if (std::exchange(m_networkBack, false))
        action.wait = {};
    action.attempt = m_attempt;
    action.stalled = stalled;
    return action;
}

} // namespace tarvoni
