// The ASX reader on any text a server may send for a playlist.

#include "playlist/asx_playlist.h"
#include "playlist_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace tarvoni;
    fuzz::checkEntries(playlist::asxEntries(fuzz::playlistText(data, size), fuzz::playlistBase()));
    return 0;
}
