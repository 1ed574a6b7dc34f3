// The probe's reading of the start of any answer to its request: what it makes of the status
// line.

#include "fuzz_check.h"
#include "playlist/stream_probe.h"

#include <QByteArray>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace tarvoni;
    const QByteArray head = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const FailureReport report = playlist::classifyResponse(head);
    FUZZ_CHECK(report.kind == Failure::NotAudio || report.kind == Failure::ServerStatus);
    if (report.kind == Failure::ServerStatus)
        FUZZ_CHECK(report.httpStatus >= 100 && report.httpStatus <= 999 && report.httpStatus / 100 != 2);
    else
        FUZZ_CHECK(report.httpStatus == 0);
    return 0;
}
