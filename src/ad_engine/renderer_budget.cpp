#include "renderer_budget.h"

namespace tarvoni {

RendererBudget::Verdict RendererBudget::add(const Sample &sample)
{
    // A sample that goes back in time (a new process behind the same number) starts afresh.
    if (!m_samples.empty() && (sample.at < m_samples.back().at || sample.cpu < m_samples.back().cpu))
        m_samples.clear();
    m_samples.push_back(sample);
    // The window starts at the oldest sample no more than kWindow old, so that what it
    // counts was used in kWindow at most.
    while (sample.at - m_samples.front().at > kWindow)
        m_samples.pop_front();

    if (sample.memoryBytes > kMemoryBytes)
        return Verdict::TooLarge;
    const Sample &start = m_samples.front();
    // Over less than a window, what it used since it was first seen counts.
    const Duration used = sample.cpu - start.cpu;
    if (used > kCpuInWindow)
        return Verdict::TooBusy;
    return Verdict::Within;
}

} // namespace tarvoni
