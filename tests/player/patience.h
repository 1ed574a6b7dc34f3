#pragma once

namespace tarvoni::testing {

// How long a test waits for an event before it calls the event missing. Long, since only a
// real fault or a machine in real trouble takes it: a test waits for the event itself, so the
// wait costs nothing when the event comes at once, and a slow, busy machine still passes.
inline constexpr int kPatienceMs = 60000;

} // namespace tarvoni::testing
