#include "stream/reference_playlist.h"

#include "stream/ini_playlist.h"

namespace tarvoni::stream {

QStringList referenceEntries(const QString &text, const QString &base)
{
    return iniPlaylistEntries(text, QStringLiteral("Ref"), base);
}

} // namespace tarvoni::stream
