#pragma once

namespace tarvoni {

// With TARVONI_STARTUP_TRACE set in the environment, writes "startup <ms> <what>" to standard
// error, <ms> on the monotonic clock (as CLOCK_MONOTONIC, in milliseconds); otherwise nothing.
// For finding where the time before the first showing goes.
void startupTrace(const char *what);

} // namespace tarvoni
