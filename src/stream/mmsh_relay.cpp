#include "stream/mmsh_relay.h"

#include "stream/mmsh_retimer.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace tarvoni::stream {

namespace {

bool traced()
{
    static const bool on = std::getenv("TARVONI_MMS_TRACE") != nullptr;
    return on;
}

} // namespace

void traceMms(const char *what)
{
    if (!traced())
        return;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    std::fprintf(stderr, "%lld.%03ld [relay] mms %s\n", static_cast<long long>(now.tv_sec),
                 now.tv_nsec / 1000000, what);
}

net::Outcome relayMmsh(net::Fetcher &fetcher, const net::Request &upstream, const HandOn &handOn)
{
    MmshRetimer retimer;
    bool anyRead = false;
    int headers = 0;
    int packets = 0;
    const auto retimed = [&](std::string_view in) {
        if (!anyRead && !in.empty()) {
            anyRead = true;
            traceMms("first bytes");
        }
        const std::string out = retimer.feed(in);
        const bool newHeader = retimer.headersRead() > headers;
        const bool firstPacket = packets == 0 && retimer.packetsRead() > 0;
        headers = retimer.headersRead();
        packets = retimer.packetsRead();
        if (newHeader)
            traceMms("header whole");
        if (firstPacket)
            traceMms("first data packet whole");
        const bool handedOn = !retimer.headTooLong() && (out.empty() || handOn(out));
        if (handedOn && (newHeader || firstPacket))
            traceMms("handed on");
        return handedOn;
    };
    return fetcher.fetch(upstream, retimed, retimed);
}

} // namespace tarvoni::stream
