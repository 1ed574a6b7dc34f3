#include "playlist/reference_playlist.h"

#include "playlist/ini_playlist.h"

namespace tarvoni::playlist {

QStringList referenceEntries(const QString &text, const QString &base)
{
    return iniPlaylistEntries(text, QStringLiteral("Ref"), base);
}

} // namespace tarvoni::playlist
