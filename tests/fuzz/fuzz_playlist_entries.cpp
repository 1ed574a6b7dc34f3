// The playlist reader the probe uses on the body of any answer: it tells the kind of playlist
// by its content and hands it to that kind's reader.

#include "playlist/playlist_entries.h"
#include "playlist_check.h"

#include <QByteArray>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace tarvoni;
    const QByteArray body = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    fuzz::checkEntries(playlist::playlistEntries(body, fuzz::playlistBase()));
    return 0;
}
