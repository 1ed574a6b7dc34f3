// The readers of playlists written like INI files, PLS and the "[Reference]" files, on any
// text a server may send for one.

#include "playlist/pls_playlist.h"
#include "playlist/reference_playlist.h"
#include "playlist_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace tarvoni;
    const QString text = fuzz::playlistText(data, size);
    fuzz::checkEntries(playlist::plsEntries(text, fuzz::playlistBase()));
    fuzz::checkEntries(playlist::referenceEntries(text, fuzz::playlistBase()));
    return 0;
}
