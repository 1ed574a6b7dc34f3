// The Shoutcast/Icecast metadata reader on any stream a server may send: the first two bytes
// set the metadata interval and the size of the reads, the rest is the stream.

#include "fuzz_check.h"
#include "stream/icy_metadata.h"

#include <algorithm>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace tarvoni::stream;
    if (size < 2)
        return 0;
    const size_t interval = size_t(data[0]) + 1;
    const size_t piece = size_t(data[1]) + 1;
    const std::string_view stream(reinterpret_cast<const char *>(data) + 2, size - 2);

    IcyMetadataReader reader(interval);
    std::vector<std::string> blocks;
    std::string audio;
    for (size_t at = 0; at < stream.size(); at += piece)
        audio += reader.feed(stream.substr(at, piece), &blocks);
    // Whatever is cut out is metadata: never more audio than came, nor a block past its length.
    size_t metadata = 0;
    for (const std::string &block : blocks) {
        FUZZ_CHECK(!block.empty() && block.size() <= 255 * 16);
        metadata += block.size();
    }
    FUZZ_CHECK(audio.size() + metadata <= stream.size());
    FUZZ_CHECK(audio.size() >= std::min(stream.size(), interval));

    for (const std::string &block : blocks) {
        const QByteArray title = streamTitleBytes(block);
        FUZZ_CHECK(title.size() <= qsizetype(block.size()));
        // Decoding never fails and never makes up a replacement character.
        const QString text = decodeStreamTitle(title);
        FUZZ_CHECK(!text.contains(QChar(0xfffd)) || title.contains("\xef\xbf\xbd"));
    }
    return 0;
}
