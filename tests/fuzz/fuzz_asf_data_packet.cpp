// The ASF data packet reader on any data chunk a server may send: every part it finds lies
// within the chunk and in order, which the retimer relies on when it cuts and rewrites packets.

#include "fuzz_check.h"
#include "stream/asf_data_packet.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace tarvoni::stream;
    const std::string chunk(reinterpret_cast<const char *>(data), size);
    const DataPacket packet = readDataPacket(chunk);
    size_t previousEnd = kChunkHead;
    for (const Payload &payload : packet.payloads) {
        FUZZ_CHECK(payload.begin >= previousEnd);
        FUZZ_CHECK(payload.begin < payload.end);
        FUZZ_CHECK(payload.end <= chunk.size());
        previousEnd = payload.end;
    }
    if (!packet.payloads.empty()) {
        FUZZ_CHECK(packet.paddingAt + packet.paddingSize <= packet.sendTimeAt);
        FUZZ_CHECK(packet.sendTimeAt + 6 <= packet.payloads.front().begin);
        FUZZ_CHECK(packet.payloadFlagsAt == 0 || packet.payloadFlagsAt < packet.payloads.front().begin);
    }
    presentedInOrder(packet);
    return 0;
}
