#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tarvoni::stream {

// Takes a Shoutcast/Icecast ("ICY") stream apart: every `interval` bytes of audio the server
// puts one metadata block, a length byte n and then 16 n bytes of text. What the listener's
// decoder gets is the audio alone; the blocks that carry text are kept for the caller.
class IcyMetadataReader {
public:
    explicit IcyMetadataReader(size_t interval)
        : m_interval(interval)
        , m_untilBlock(interval)
    {
    }

    // The audio in `input`, the next bytes of the answer's body; the text of each metadata
    // block completed in it (empty blocks left out) is appended to `blocks`.
    std::string feed(std::string_view input, std::vector<std::string> *blocks);

private:
    size_t m_interval;
    size_t m_untilBlock;    // audio bytes before the next block
    size_t m_blockLeft = 0; // bytes of the current block still to come
    bool m_inBlock = false; // the length byte has been read
    std::string m_block;
};

// The raw bytes of the StreamTitle in a metadata block ("StreamTitle='...';StreamUrl='...';"),
// or a null array when the block names none. The title ends at the "';" that is followed by the
// next field or by the end of the block, so a title may itself hold quotes and semicolons.
QByteArray streamTitleBytes(std::string_view block);

// A stream title as the listener reads it: UTF-8 when the bytes are valid UTF-8, else
// Windows-1252, the character set older Shoutcast and Icecast sources send. Never a
// replacement character for a byte that was Latin-1.
QString decodeStreamTitle(const QByteArray &bytes);

} // namespace tarvoni::stream
