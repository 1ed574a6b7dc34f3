// The HLS playlist reader on any text a server may send for a playlist.

#include "fuzz_check.h"
#include "playlist/hls_playlist.h"

#include <QString>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace tarvoni::playlist;
    const QByteArray body(reinterpret_cast<const char *>(data), qsizetype(size));
    const HlsPlaylist playlist = parseHlsPlaylist(
        body, QStringLiteral("http://radio.example.lk:5552/live/index.m3u8"));
    FUZZ_CHECK(int(playlist.variants.size()) <= kMostHlsEntries);
    FUZZ_CHECK(int(playlist.segments.size()) <= kMostHlsEntries);
    // A master playlist lists variants only; a media playlist has a target duration.
    FUZZ_CHECK(!playlist.master || playlist.segments.empty());
    FUZZ_CHECK(playlist.segments.empty() || playlist.targetDuration.count() > 0);
    FUZZ_CHECK(!playlist.master || isHlsPlaylist(body));
    // Segments in order, one number each.
    for (size_t i = 1; i < playlist.segments.size(); ++i)
        FUZZ_CHECK(playlist.segments[i].sequence == playlist.segments[i - 1].sequence + 1);
    // A segment's key comes with no IV or one of the cipher's 16 bytes.
    for (const HlsPlaylist::Segment &segment : playlist.segments) {
        FUZZ_CHECK(segment.duration.count() >= 0);
        FUZZ_CHECK(segment.iv.isEmpty() || (segment.iv.size() == 16 && !segment.key.isEmpty()));
    }
    for (const HlsPlaylist::Variant &variant : playlist.variants)
        FUZZ_CHECK(variant.bandwidth >= 0);
    return 0;
}
