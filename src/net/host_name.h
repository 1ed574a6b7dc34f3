#pragma once

#include <string_view>

namespace tarvoni::net {

// What a host may be written with in a request: letters, digits, '-', '.', '_', and nothing
// that could end the line or smuggle another header in.
bool isHostName(std::string_view text);

} // namespace tarvoni::net
