#pragma once

#include <chrono>
#include <cstdint>
#include <deque>

namespace tarvoni {

// What an ad page's renderer may take from a radio player: no more than 15 s of CPU time in
// any 30 s, and no more than 300 MB of memory of its own. Fed one sample of the renderer's
// use at a time (every second or so), it says whether the renderer is still within it.
class RendererBudget {
public:
    using Duration = std::chrono::milliseconds;

    static constexpr Duration kWindow{30000};
    static constexpr Duration kCpuInWindow{15000};
    static constexpr std::int64_t kMemoryBytes = 300LL * 1024 * 1024;

    enum class Verdict { Within, TooBusy, TooLarge };

    struct Sample {
        Duration at;  // on a steady clock
        Duration cpu; // the renderer's CPU time so far, user and system, and waited for
        std::int64_t memoryBytes = 0;
    };

    Verdict add(const Sample &sample);

private:
    std::deque<Sample> m_samples; // the last kWindow of them, oldest first
};

} // namespace tarvoni
