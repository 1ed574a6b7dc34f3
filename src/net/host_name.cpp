#include "net/host_name.h"

namespace tarvoni::net {

bool isHostName(std::string_view text)
{
    if (text.empty() || text.size() > 253)
        return false;
    for (const char c : text) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-'
            || c == '.' || c == '_';
        if (!ok)
            return false;
    }
    return true;
}

} // namespace tarvoni::net
