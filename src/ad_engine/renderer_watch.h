#pragma once

#include "renderer_budget.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <map>

namespace tarvoni {

// Looks at the ad pages' renderer processes once a second and reports the one that goes over
// its budget. `renderers` names the processes to look at now.
class RendererWatch : public QObject {
public:
    RendererWatch(std::function<QList<qint64>()> renderers,
                  std::function<void(qint64 pid, RendererBudget::Verdict)> overBudget, QObject *parent);

private:
    void look();

    std::function<QList<qint64>()> m_renderers;
    std::function<void(qint64, RendererBudget::Verdict)> m_overBudget;
    std::map<qint64, RendererBudget> m_budgets;
    QTimer m_timer;
};

} // namespace tarvoni
