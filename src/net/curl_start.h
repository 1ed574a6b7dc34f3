#pragma once

namespace tarvoni::net {

// Starts libcurl for the process, once, before its first handle is made; any thread.
void startCurl();

} // namespace tarvoni::net
