#include "playlist/ini_playlist.h"

#include "playlist/playlist_entry_list.h"

#include <QRegularExpression>

namespace tarvoni::playlist {

QStringList iniPlaylistEntries(const QString &text, const QString &key, const QString &base)
{
    const QRegularExpression line(
        QStringLiteral(R"(^\s*%1\d+\s*=(.+)$)").arg(QRegularExpression::escape(key)),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::MultilineOption);
    PlaylistEntryList list(base);
    for (auto it = line.globalMatch(text); it.hasNext();) {
        if (!list.add(it.next().captured(1)))
            break;
    }
    return list.entries();
}

} // namespace tarvoni::playlist
