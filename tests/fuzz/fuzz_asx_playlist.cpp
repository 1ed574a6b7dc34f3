// The ASX reader on any text a server may send for a playlist.

#include "playlist_check.h"
#include "stream/asx_playlist.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace tarvoni;
    fuzz::checkEntries(stream::asxEntries(fuzz::playlistText(data, size), fuzz::playlistBase()));
    return 0;
}
