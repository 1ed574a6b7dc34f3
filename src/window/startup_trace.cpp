#include "startup_trace.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace tarvoni {

void startupTrace(const char *what)
{
    static const bool enabled = std::getenv("TARVONI_STARTUP_TRACE") != nullptr;
    if (!enabled)
        return;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    std::fprintf(stderr, "startup %.3f %s\n", double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6, what);
}

} // namespace tarvoni
