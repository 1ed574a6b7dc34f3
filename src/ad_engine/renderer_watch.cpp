#include "renderer_watch.h"

#include "process_usage.h"

namespace tarvoni {

namespace {

constexpr std::chrono::milliseconds kLookEvery{1000};

} // namespace

RendererWatch::RendererWatch(std::function<QList<qint64>()> renderers,
                             std::function<void(qint64, RendererBudget::Verdict)> overBudget, QObject *parent)
    : QObject(parent)
    , m_renderers(std::move(renderers))
    , m_overBudget(std::move(overBudget))
{
    m_timer.setInterval(kLookEvery);
    connect(&m_timer, &QTimer::timeout, this, &RendererWatch::look);
    m_timer.start();
}

void RendererWatch::look()
{
    std::map<qint64, RendererBudget> budgets;
    QList<qint64> seen;
    for (qint64 pid : m_renderers()) {
        if (pid <= 0 || seen.contains(pid))
            continue;
        seen << pid;
        const auto known = m_budgets.find(pid);
        RendererBudget &budget = budgets[pid] = known == m_budgets.end() ? RendererBudget() : known->second;
        const std::optional<RendererBudget::Sample> sample = processUsage(pid);
        if (!sample)
            continue;
        const RendererBudget::Verdict verdict = budget.add(*sample);
        if (verdict != RendererBudget::Verdict::Within) {
            budgets.erase(pid);
            m_overBudget(pid, verdict);
        }
    }
    // Renderers no page uses any more are forgotten.
    m_budgets = std::move(budgets);
}

} // namespace tarvoni
