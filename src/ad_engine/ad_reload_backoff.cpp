#include "ad_reload_backoff.h"

#include <algorithm>

namespace tarvoni {

AdReloadBackoff::AdReloadBackoff(Duration firstWait)
    : m_firstWait(firstWait)
{
}

AdReloadBackoff::Pane &AdReloadBackoff::pane(int number)
{
    const auto [it, added] = m_panes.try_emplace(number);
    if (added)
        it->second.nextWait = m_firstWait;
    return it->second;
}

void AdReloadBackoff::loaded(int number, Duration at)
{
    pane(number).loadedAt = at;
    // Back in its place, it answers for what its page does from now on.
    if (m_held.pane == number)
        m_held.pane = -1;
}

AdReloadBackoff::Duration AdReloadBackoff::trip(Pane &tripped, Duration at)
{
    if (at - tripped.loadedAt >= kForgivenAfter) {
        tripped.nextWait = m_firstWait;
        tripped.trips = 0;
    }
    const Duration wait = tripped.nextWait;
    tripped.nextWait = std::min(wait * 2, std::max(kLongestWait, m_firstWait));
    ++tripped.trips;
    return wait;
}

int AdReloadBackoff::blame(int number, Duration at)
{
    const Pane &suspect = pane(number);
    return at - suspect.loadedAt >= kForgivenAfter ? 0 : suspect.trips;
}

AdReloadBackoff::Comeback AdReloadBackoff::overLoadLimit(int number, Duration at)
{
    return {number, trip(pane(number), at)};
}

std::vector<AdReloadBackoff::Comeback> AdReloadBackoff::rendererOverBudget(const std::vector<int> &panes,
                                                                           Duration at)
{
    if (panes.empty())
        return {};
    std::vector<Comeback> comebacks;
    if (panes.size() == 1) {
        // Alone in its renderer, the page is to blame, and the pane held back for it is not.
        if (m_held.pane >= 0 && m_held.pane != panes.front()) {
            pane(m_held.pane) = m_held.before;
            comebacks.push_back({m_held.pane, Duration(0)});
            m_held.pane = -1;
        }
        comebacks.insert(comebacks.begin(), {panes.front(), trip(pane(panes.front()), at)});
        return comebacks;
    }
    int suspect = panes.front();
    for (int number : panes) {
        const int more = blame(number, at) - blame(suspect, at);
        if (more > 0 || (more == 0 && number > suspect))
            suspect = number;
    }
    m_held = {suspect, pane(suspect)};
    for (int number : panes)
        comebacks.push_back({number, number == suspect ? trip(pane(number), at) : Duration(0)});
    return comebacks;
}

} // namespace tarvoni
