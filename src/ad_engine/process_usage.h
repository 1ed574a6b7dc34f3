#pragma once

#include "renderer_budget.h"

#include <QtGlobal>

#include <optional>

namespace tarvoni {

// What the process `pid` has used so far: its CPU time, with the time its threads waited
// ready to run, and its memory of its own (resident anonymous and shared memory, not the
// libraries it maps). Nothing when it has gone.
std::optional<RendererBudget::Sample> processUsage(qint64 pid);

// Whether `pid` is still a child of `ancestor` or a child of one of its children, and not a
// number the system has since given another program.
bool descendsFrom(qint64 pid, qint64 ancestor);

} // namespace tarvoni
