// The M3U reader on any text a server may send for a playlist.

#include "playlist/m3u_playlist.h"
#include "playlist_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace tarvoni;
    fuzz::checkEntries(playlist::m3uEntries(fuzz::playlistText(data, size), fuzz::playlistBase()));
    return 0;
}
