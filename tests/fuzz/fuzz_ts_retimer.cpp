// The transport stream retimer on any segments an HLS server may send: the first byte sets the
// size of the reads, the second the length of the segments, the rest is the stream.

#include "fuzz_check.h"
#include "stream/ts_retimer.h"

#include <string>

namespace {

std::string relay(std::string_view stream, size_t segment, size_t piece)
{
    tarvoni::stream::TsRetimer retimer;
    std::string out;
    for (size_t start = 0; start < stream.size(); start += segment) {
        const std::string_view one = stream.substr(start, segment);
        // Every other segment's timestamps start again.
        if ((start / segment) % 2 == 1)
            retimer.restartClock();
        for (size_t at = 0; at < one.size(); at += piece)
            out += retimer.feed(one.substr(at, piece));
        out += retimer.endSegment();
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const size_t piece = size_t(data[0]) + 1;
    const size_t segment = (size_t(data[1]) + 1) * 47;
    const std::string_view stream(reinterpret_cast<const char *>(data) + 2, size - 2);
    // Nothing is added or lost, and how the bytes arrive changes nothing.
    const std::string out = relay(stream, segment, piece);
    FUZZ_CHECK(out.size() == stream.size());
    FUZZ_CHECK(out == relay(stream, segment, segment));
    return 0;
}
