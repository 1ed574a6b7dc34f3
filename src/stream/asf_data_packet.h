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

uint64_t readLe(const std::string &data, size_t at, size_t bytes);
void writeLe(std::string &data, size_t at, size_t bytes, uint64_t value);
// The size of a field whose length an ASF packet gives as two bits: none, a byte, a word or a
// double word.
size_t fieldSize(unsigned bits);

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
