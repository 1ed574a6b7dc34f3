#include "playlist_check.h"

#include "fuzz_check.h"
#include "playlist/playlist_entry_list.h"

#include <QUrl>

namespace tarvoni::fuzz {

QString playlistBase()
{
    return QStringLiteral("http://127.0.0.1:8704/radio/list.asx");
}

QString playlistText(const uint8_t *data, size_t size)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
}

void checkEntries(const QStringList &entries)
{
    FUZZ_CHECK(entries.size() <= playlist::kMostPlaylistEntries);
    for (const QString &entry : entries) {
        const QUrl url(entry, QUrl::StrictMode);
        FUZZ_CHECK(!url.scheme().isEmpty());
        FUZZ_CHECK(!url.isRelative());
    }
}

} // namespace tarvoni::fuzz
