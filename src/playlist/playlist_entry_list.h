#pragma once

#include "player/stream_session.h"

#include <QString>
#include <QStringList>

namespace tarvoni::playlist {

// A stream session tries no more entries than this; a playlist is read no further.
constexpr qsizetype kMostPlaylistEntries = kMostEntriesPerAttempt;

// The addresses a playlist parser has found, trimmed and resolved against the playlist's own
// address; entries that resolve to no absolute address are left out.
class PlaylistEntryList {
public:
    explicit PlaylistEntryList(const QString &base)
        : m_base(base)
    {
    }

    // False once the list holds kMostPlaylistEntries: the parser stops there.
    bool add(const QString &entry);
    bool full() const { return m_entries.size() >= kMostPlaylistEntries; }
    QStringList entries() const { return m_entries; }

private:
    QString m_base;
    QStringList m_entries;
};

} // namespace tarvoni::playlist
