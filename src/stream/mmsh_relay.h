#pragma once

#include "net/fetcher.h"

namespace tarvoni::stream {

// Fetches an MMS-over-HTTP answer and passes it, retimed by an MmshRetimer, to libVLC on
// `client`. With TARVONI_MMS_TRACE set in the environment, it writes when the answer's first
// bytes came, when its header and its first data packet had come whole, and when each was
// handed on, to standard error as the engine's log lines are: seconds on the monotonic clock,
// then "[relay]".
net::Outcome relayMmsh(net::Fetcher &fetcher, const net::Request &upstream, int client);

} // namespace tarvoni::stream
