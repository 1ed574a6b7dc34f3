#include "stream/icy_metadata.h"

#include <QStringDecoder>

#include <algorithm>
#include <cctype>

namespace tarvoni::stream {

namespace {

// Windows-1252 where it differs from Latin-1, for the bytes 0x80 to 0x9f. The five bytes it
// leaves undefined stay the C1 control characters that Latin-1 gives them.
constexpr char16_t kWindows1252High[32] = {
    0x20ac, 0x0081, 0x201a, 0x0192, 0x201e, 0x2026, 0x2020, 0x2021, 0x02c6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008d, 0x017d, 0x008f, 0x0090, 0x2018, 0x2019, 0x201c, 0x201d, 0x2022,
    0x2013, 0x2014, 0x02dc, 0x2122, 0x0161, 0x203a, 0x0153, 0x009d, 0x017e, 0x0178,
};

// Whether the metadata at `at` is the start of a field ("StreamUrl=", or any name and '='), or
// the end of the block.
bool fieldOrEndAt(std::string_view block, size_t at)
{
    size_t end = block.size();
    while (end > at && block[end - 1] == '\0')
        --end;
    if (at >= end)
        return true;
    size_t i = at;
    while (i < end && (std::isalnum(static_cast<unsigned char>(block[i])) || block[i] == '_'))
        ++i;
    return i > at && i < end && block[i] == '=';
}

} // namespace

std::string IcyMetadataReader::feed(std::string_view input, std::vector<std::string> *blocks)
{
    std::string audio;
    audio.reserve(input.size());
    while (!input.empty()) {
        if (!m_inBlock && m_untilBlock > 0) {
            const size_t take = std::min(m_untilBlock, input.size());
            audio.append(input.substr(0, take));
            input.remove_prefix(take);
            m_untilBlock -= take;
            continue;
        }
        if (!m_inBlock) {
            m_blockLeft = size_t(static_cast<unsigned char>(input.front())) * 16;
            input.remove_prefix(1);
            m_inBlock = true;
            m_block.clear();
        }
        const size_t take = std::min(m_blockLeft, input.size());
        m_block.append(input.substr(0, take));
        input.remove_prefix(take);
        m_blockLeft -= take;
        if (m_blockLeft == 0) {
            m_inBlock = false;
            m_untilBlock = m_interval;
            if (!m_block.empty())
                blocks->push_back(std::move(m_block));
            m_block.clear();
        }
    }
    return audio;
}

QByteArray streamTitleBytes(std::string_view block)
{
    static constexpr std::string_view kField = "StreamTitle=";
    size_t at = 0;
    for (;; ++at) {
        at = block.find(kField, at);
        if (at == std::string_view::npos)
            return {};
        // The field's name at the start of the block or after the previous field's end.
        if (at == 0 || block[at - 1] == ';')
            break;
    }
    size_t begin = at + kField.size();
    const char quote = begin < block.size() ? block[begin] : '\0';
    if (quote != '\'' && quote != '"') {
        // Unquoted: up to the next ';'.
        const size_t end = std::min(block.find(';', begin), block.find('\0', begin));
        return QByteArray(block.data() + begin, qsizetype(std::min(end, block.size()) - begin));
    }
    ++begin;
    const char closing[] = {quote, ';', '\0'};
    for (size_t end = block.find(closing, begin); end != std::string_view::npos;
         end = block.find(closing, end + 1)) {
        if (fieldOrEndAt(block, end + 2))
            return QByteArray(block.data() + begin, qsizetype(end - begin));
    }
    // No proper end: up to the quote before the padding, or all that is there.
    size_t end = block.find('\0', begin);
    end = std::min(end, block.size());
    if (end > begin && block[end - 1] == quote)
        --end;
    return QByteArray(block.data() + begin, qsizetype(end - begin));
}

QString decodeStreamTitle(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    text.resize(bytes.size());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        text[i] = byte >= 0x80 && byte < 0xa0 ? QChar(kWindows1252High[byte - 0x80]) : QChar(byte);
    }
    return text;
}

} // namespace tarvoni::stream
