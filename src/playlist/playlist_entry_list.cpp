#include "playlist/playlist_entry_list.h"

#include <QUrl>

namespace tarvoni::playlist {

bool PlaylistEntryList::add(const QString &entry)
{
    if (full())
        return false;
    const QString trimmed = entry.trimmed();
    if (!trimmed.isEmpty()) {
        const QUrl resolved = QUrl(m_base).resolved(QUrl(trimmed));
        if (resolved.isValid() && !resolved.scheme().isEmpty())
            m_entries << resolved.toString(QUrl::FullyEncoded);
    }
    return !full();
}

} // namespace tarvoni::playlist
