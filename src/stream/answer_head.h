#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarvoni::stream {

// The head of a server's answer: "HTTP/1.1 200 OK" or Shoutcast's "ICY 200 OK", then header
// lines up to an empty line.
struct AnswerHead {
    int status = 0;
    std::string statusLine;
    std::vector<std::pair<std::string, std::string>> headers; // in order, values trimmed

    // The first value of header `name` (any case), or an empty string.
    std::string value(std::string_view name) const;
    // The head written out again without the headers named (any case), ending in an empty line.
    std::string without(const std::vector<std::string_view> &names) const;
};

// Reads a head, given up to and including its empty line or without it. False when it does
// not start with a status line of three digits.
bool parseAnswerHead(std::string_view head, AnswerHead *out);

// Where the head ends in `data` (the index after its empty line), or npos while it goes on.
// Lines may end in CR LF or LF alone.
size_t answerHeadEnd(std::string_view data);

// `text` without the spaces, tabs (and, at its end, carriage return) around it.
std::string_view trimmed(std::string_view text);

// Compares ASCII text, ignoring case.
bool sameLetters(std::string_view a, std::string_view b);

} // namespace tarvoni::stream
