#include "playlist/playlist_entries.h"

#include "playlist/asx_playlist.h"
#include "playlist/m3u_playlist.h"
#include "playlist/pls_playlist.h"
#include "playlist/reference_playlist.h"

namespace tarvoni::playlist {

QStringList playlistEntries(const QByteArray &body, const QString &base)
{
    QString text = QString::fromUtf8(body);
    if (text.startsWith(QChar(0xfeff)))
        text.remove(0, 1);
    text = text.trimmed();
    if (text.startsWith(QLatin1String("<asx"), Qt::CaseInsensitive))
        return asxEntries(text, base);
    if (text.startsWith(QLatin1String("[playlist]"), Qt::CaseInsensitive))
        return plsEntries(text, base);
    if (text.startsWith(QLatin1String("[Reference]"), Qt::CaseInsensitive))
        return referenceEntries(text, base);
    return m3uEntries(text, base);
}

} // namespace tarvoni::playlist
