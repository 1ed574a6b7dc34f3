// The M3U reader on any text a server may send for a playlist.

#include "playlist_check.h"
#include "stream/m3u_playlist.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace tarvoni;
    fuzz::checkEntries(stream::m3uEntries(fuzz::playlistText(data, size), fuzz::playlistBase()));
    return 0;
}
