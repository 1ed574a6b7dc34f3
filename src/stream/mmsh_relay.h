#pragma once

#include "net/fetcher.h"

#include <functional>
#include <string>

namespace tarvoni::stream {

// What takes the relay's bytes for libVLC: false when they can go nowhere, which ends the fetch.
using HandOn = std::function<bool(const std::string &bytes)>;

// Fetches an MMS-over-HTTP answer and passes it, retimed by an MmshRetimer, to `handOn`. With
// TARVONI_MMS_TRACE set in the environment, it writes when the answer's first bytes came, when
// its header and its first data packet had come whole, and when each was handed on, to standard
// error as the engine's log lines are: seconds on the monotonic clock, then "[relay] mms".
net::Outcome relayMmsh(net::Fetcher &fetcher, const net::Request &upstream, const HandOn &handOn);

// Writes `what` as one of those lines, when they are asked for.
void traceMms(const char *what);

} // namespace tarvoni::stream
