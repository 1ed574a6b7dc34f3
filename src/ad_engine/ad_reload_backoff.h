#pragma once

#include <chrono>
#include <map>
#include <vector>

namespace tarvoni {

// When the ad panes whose pages were unloaded for taking too much load their pages again. A
// page over its budget waits: a minute the first time, twice as long each time it trips again,
// an hour at most; once a page has stayed within its budget for an hour after it came back, it
// starts again from a minute. A pane that only shared the renderer of a page over its budget
// comes back at once.
//
// The panes share one renderer, so when it goes over its budget the page to blame cannot be
// seen. The pane most likely to be it waits as if it had tripped, and the others come back at
// once: the pane with the most trips not yet forgiven, or else the pane set up last. Should
// one of those that came back then take its renderer over the budget on its own, it was the
// one, and the pane held back comes back at once, its wait forgiven.
//
// Plain code with the times given, so that a table can test it.
class AdReloadBackoff {
public:
    using Duration = std::chrono::milliseconds;

    static constexpr Duration kFirstWait{60000};
    static constexpr Duration kLongestWait{3600000};
    // Within budget this long after it came back, a page is forgiven its earlier trips.
    static constexpr Duration kForgivenAfter{3600000};

    struct Comeback {
        int pane = 0;
        Duration after{};

        bool operator==(const Comeback &) const = default;
    };

    explicit AdReloadBackoff(Duration firstWait = kFirstWait);

    // `pane`'s page was loaded at `at`, the first time or coming back.
    void loaded(int pane, Duration at);
    // `pane`'s page alone was unloaded: it brought more than one load may.
    Comeback overLoadLimit(int pane, Duration at);
    // The pages of `panes` shared a renderer that went over its budget, and were unloaded.
    // Returns when each of them, and a pane held back that is now forgiven, comes back.
    std::vector<Comeback> rendererOverBudget(const std::vector<int> &panes, Duration at);

private:
    struct Pane {
        Duration nextWait{};
        int trips = 0; // since it was last forgiven
        Duration loadedAt{};
    };

    Pane &pane(int number);
    Duration trip(Pane &pane, Duration at);
    // How much `pane` is to blame at `at`: its trips, unless it has been forgiven them.
    int blame(int pane, Duration at);

    const Duration m_firstWait;
    std::map<int, Pane> m_panes;
    // A pane held back on suspicion, and what it was before it was blamed.
    struct Held {
        int pane = -1;
        Pane before;
    } m_held;
};

} // namespace tarvoni
