// The retimer on any answer a server may send, read in pieces of any size: what it hands on
// is the same whichever way the answer was cut into reads. The input's first byte sets the
// size of the pieces; the rest is the answer.

#include "fuzz_check.h"
#include "stream/mmsh_retimer.h"

#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using tarvoni::stream::MmshRetimer;
    if (size == 0)
        return 0;
    const size_t piece = size_t(data[0]) * data[0] / 16 + 1; // 1 to 4065 bytes, most of them small
    const std::string_view answer(reinterpret_cast<const char *>(data) + 1, size - 1);

    MmshRetimer atOnce;
    const std::string whole = atOnce.feed(answer);
    MmshRetimer inPieces;
    std::string pieces;
    for (size_t at = 0; at < answer.size(); at += piece)
        pieces += inPieces.feed(answer.substr(at, piece));

    FUZZ_CHECK(whole == pieces);
    FUZZ_CHECK(atOnce.headTooLong() == inPieces.headTooLong());
    return 0;
}
