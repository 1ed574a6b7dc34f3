#pragma once

#include "stream/socket.h"

#include <functional>
#include <string>
#include <string_view>

namespace tarvoni::stream {

class Connection;

// Moving bytes between a relay's client and the server it relays: each wait ends when either
// side goes away, and a side that takes no bytes for seconds is gone.

// Sends all of `data` to the client (or any plain socket).
bool forward(int to, std::string_view data);

// Passes the server's answer on, each piece through `transform` (false ends it), while either
// side has more to say; what the client sends goes to the server.
void pump(Connection &server, int client,
          const std::function<bool(std::string_view, std::string *)> &transform);

// Sends what has been read of the answer, then the rest as it comes.
void passOn(Connection &server, int client, const std::string &read);

// Reads from the server into `in` until `done` says enough or `limit` bytes are in; false
// when the server or the client goes away or `deadline` passes first.
bool readUntil(Connection &server, int client, std::string *in, size_t limit, Deadline deadline,
               const std::function<bool(const std::string &)> &done);

} // namespace tarvoni::stream
