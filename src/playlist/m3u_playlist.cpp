#include "playlist/m3u_playlist.h"

#include "playlist/playlist_entry_list.h"

namespace tarvoni::playlist {

QStringList m3uEntries(const QString &text, const QString &base)
{
    PlaylistEntryList list(base);
    const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (!line.contains(QLatin1String("://")) || line.contains(QLatin1Char(' '))
            || line.contains(QLatin1Char('<')))
            return {};
        if (!list.add(line))
            break;
    }
    return list.entries();
}

} // namespace tarvoni::playlist
