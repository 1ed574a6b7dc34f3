#pragma once

// An ASF data packet inside a chunk of MMS over HTTP, read the way libVLC's ASF reader reads it,
// and the little-endian fields it is made of.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tarvoni::stream {

// The chunk's own head before the packet: type, size, sequence, two unknown bytes, size again.
constexpr size_t kChunkHead = 12;

// The flags of a data packet, as its bytes hold them.
//
// The error correction byte, when its top bit is set; libVLC reads only two bytes of error
// correction data, of no length type and with nothing opaque.
constexpr unsigned kErrorCorrectionPresent = 0x80;
constexpr unsigned kErrorCorrectionLengthType = 0x60;
constexpr unsigned kOpaqueDataPresent = 0x10;
constexpr unsigned kErrorCorrectionDataLength = 0x0f;
// The length type flags: the top bit as above, then the size of the packet length, padding
// length and sequence fields (two bits each), and whether several payloads follow.
constexpr unsigned kPacketLengthTypeAt = 5;
constexpr unsigned kPaddingLengthTypeAt = 3;
constexpr unsigned kSequenceTypeAt = 1;
constexpr unsigned kMultiplePayloads = 0x01;
// The property flags: the size of each payload's media object number, offset and replicated
// data length fields.
constexpr unsigned kObjectNumberTypeAt = 4;
constexpr unsigned kOffsetTypeAt = 2;
constexpr unsigned kReplicatedLengthTypeAt = 0;
// The payload flags of a packet of several payloads: the size of each payload's length field,
// and how many payloads there are.
constexpr unsigned kPayloadLengthTypeAt = 6;
constexpr unsigned kPayloadCount = 0x3f;
// A payload's first byte: its stream number, and whether it starts a key frame.
constexpr unsigned kStreamNumber = 0x7f;
// The two-bit size of a field that is a word, and the two bits of a size in flags.
constexpr unsigned kWordField = 2;
constexpr unsigned kFieldSizeBits = 3;

// Whether libVLC reads a packet opened by these error correction flags: two bytes of data, of
// no length type and with nothing opaque.
bool readableErrorCorrection(unsigned flags);

uint64_t readLe(const std::string &data, size_t at, size_t bytes);
void writeLe(std::string &data, size_t at, size_t bytes, uint64_t value);
// The size of a field whose length an ASF packet gives as two bits: none, a byte, a word or a
// double word. `flags` holds those two bits `at` bits up.
size_t fieldSize(unsigned flags, unsigned at);

// What the reader needs of one payload: where it lies in the chunk and when it is presented.
struct Payload {
    size_t begin = 0; // its first byte (the stream number)
    size_t end = 0;   // one past its data
    unsigned stream = 0;
    bool timed = false;
    uint64_t presentationMs = 0;
};

// A data packet, read the way libVLC's ASF reader reads it.
struct DataPacket {
    size_t paddingAt = 0;   // the padding length field, when there is one
    size_t paddingSize = 0; // its size in bytes
    size_t sendTimeAt = 0;
    uint32_t sendTimeMs = 0;
    size_t payloadFlagsAt = 0; // multiple payloads only
    std::vector<Payload> payloads;
    bool whole = false; // every payload was found within the chunk
};

// The packet of the data chunk `chunk` (its MMS head included).
DataPacket readDataPacket(const std::string &chunk);

// The packet's payloads all belong to one stream and are presented in order: every frame
// presented before its last payload has then been sent whole.
bool presentedInOrder(const DataPacket &packet);

} // namespace tarvoni::stream
