#include "engine_reaper.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

namespace tarvoni::vlc {

namespace {

struct ReaperState {
    std::mutex mutex;
    std::condition_variable idle;
    int running = 0;
};

ReaperState &state()
{
    // Never destroyed: a job still stuck at program exit must not find it gone.
    static auto *s = new ReaperState;
    return *s;
}

} // namespace

bool EngineReaper::run(std::function<void()> job) noexcept
{
    ReaperState &s = state();
    {
        std::lock_guard lock(s.mutex);
        ++s.running;
    }
    try {
        std::thread([job = std::move(job), &s] {
            job();
            std::lock_guard lock(s.mutex);
            if (--s.running == 0)
                s.idle.notify_all();
        }).detach();
        return true;
    } catch (const std::exception &) {
        // Out of threads (std::system_error) or of memory: the job is dropped unrun.
        std::lock_guard lock(s.mutex);
        if (--s.running == 0)
            s.idle.notify_all();
        return false;
    }
}

bool EngineReaper::waitIdle(std::chrono::milliseconds limit)
{
    ReaperState &s = state();
    std::unique_lock lock(s.mutex);
    return s.idle.wait_for(lock, limit, [&s] { return s.running == 0; });
}

} // namespace tarvoni::vlc
