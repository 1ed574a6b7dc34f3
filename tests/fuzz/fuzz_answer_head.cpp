// The reading of a server's answer head, which the relay rewrites for the engine.

#include "fuzz_check.h"
#include "stream/answer_head.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace tarvoni::stream;
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    const size_t end = answerHeadEnd(text);
    FUZZ_CHECK(end == std::string_view::npos || end <= text.size());
    AnswerHead head;
    if (!parseAnswerHead(text.substr(0, end), &head))
        return 0;
    FUZZ_CHECK(head.status >= 0 && head.status <= 999);
    // Written out again without a header, it is one head that no longer has it.
    const std::string rewritten = head.without({"Location"});
    FUZZ_CHECK(answerHeadEnd(rewritten) == rewritten.size());
    AnswerHead again;
    FUZZ_CHECK(parseAnswerHead(rewritten, &again));
    FUZZ_CHECK(again.status == head.status && again.value("Location").empty());
    return 0;
}
