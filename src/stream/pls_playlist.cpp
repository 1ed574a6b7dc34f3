#include "stream/pls_playlist.h"

#include "stream/ini_playlist.h"

namespace tarvoni::stream {

QStringList plsEntries(const QString &text, const QString &base)
{
    return iniPlaylistEntries(text, QStringLiteral("File"), base);
}

} // namespace tarvoni::stream
