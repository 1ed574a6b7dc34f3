#include "stream/answer_head.h"

#include <algorithm>

namespace tarvoni::stream {

namespace {

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

} // namespace

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

bool sameLetters(std::string_view a, std::string_view b)
{
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lower(x) == lower(y); });
}

size_t answerHeadEnd(std::string_view data)
{
    for (size_t at = data.find('\n'); at != std::string_view::npos; at = data.find('\n', at + 1)) {
        if (at + 1 < data.size() && data[at + 1] == '\n')
            return at + 2;
        if (at + 2 < data.size() && data[at + 1] == '\r' && data[at + 2] == '\n')
            return at + 3;
    }
    return std::string_view::npos;
}

bool parseAnswerHead(std::string_view head, AnswerHead *out)
{
    *out = AnswerHead();
    size_t lineEnd = head.find('\n');
    const std::string_view statusLine = trimmed(head.substr(0, lineEnd));
    const size_t space = statusLine.find(' ');
    const std::string_view protocol = statusLine.substr(0, space);
    if (space == std::string_view::npos || (protocol.substr(0, 5) != "HTTP/" && protocol != "ICY"))
        return false;
    const std::string_view code = statusLine.substr(space + 1, 3);
    if (code.size() != 3
        || !std::all_of(code.begin(), code.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    out->status = (code[0] - '0') * 100 + (code[1] - '0') * 10 + (code[2] - '0');
    out->statusLine = std::string(statusLine);
    while (lineEnd != std::string_view::npos) {
        const size_t from = lineEnd + 1;
        lineEnd = head.find('\n', from);
        const std::string_view line = trimmed(
            head.substr(from, lineEnd == std::string_view::npos ? head.npos : lineEnd - from));
        if (line.empty())
            break;
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0)
            continue;
        out->headers.emplace_back(std::string(trimmed(line.substr(0, colon))),
                                  std::string(trimmed(line.substr(colon + 1))));
    }
    return true;
}

std::string AnswerHead::value(std::string_view name) const
{
    for (const auto &[key, text] : headers) {
        if (sameLetters(key, name))
            return text;
    }
    return {};
}

std::string AnswerHead::without(const std::vector<std::string_view> &names) const
{
    std::string text = statusLine + "\r\n";
    for (const auto &header : headers) {
        if (std::none_of(names.begin(), names.end(),
                         [&header](std::string_view name) { return sameLetters(header.first, name); }))
            text += header.first + ": " + header.second + "\r\n";
    }
    return text + "\r\n";
}

} // namespace tarvoni::stream
