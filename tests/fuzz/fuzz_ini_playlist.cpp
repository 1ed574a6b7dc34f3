// The readers of playlists written like INI files, PLS and the "[Reference]" files, on any
// text a server may send for one.

#include "playlist_check.h"
#include "stream/pls_playlist.h"
#include "stream/reference_playlist.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace tarvoni;
    const QString text = fuzz::playlistText(data, size);
    fuzz::checkEntries(stream::plsEntries(text, fuzz::playlistBase()));
    fuzz::checkEntries(stream::referenceEntries(text, fuzz::playlistBase()));
    return 0;
}
