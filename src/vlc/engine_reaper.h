#pragma once

#include <chrono>
#include <functional>

namespace tarvoni::vlc {

// Runs jobs that may block on the network (stopping and releasing a libVLC player whose
// input thread is stuck in a connect or a read) on threads of their own, so that the UI
// thread never waits for them.
class EngineReaper {
public:
    // False when no thread could be started; the job has not run then, and the caller decides
    // what to do without it. Never throws.
    [[nodiscard]] static bool run(std::function<void()> job) noexcept;

    // Waits until every job has finished or `limit` has passed; true when all finished.
    static bool waitIdle(std::chrono::milliseconds limit);
};

} // namespace tarvoni::vlc
