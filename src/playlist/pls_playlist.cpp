#include "playlist/pls_playlist.h"

#include "playlist/ini_playlist.h"

namespace tarvoni::playlist {

QStringList plsEntries(const QString &text, const QString &base)
{
    return iniPlaylistEntries(text, QStringLiteral("File"), base);
}

} // namespace tarvoni::playlist
