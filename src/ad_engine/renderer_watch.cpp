#include "renderer_watch.h"

#include <QFile>

#include <unistd.h>

namespace tarvoni {

namespace {

constexpr std::chrono::milliseconds kLookEvery{1000};

QByteArray readProcFile(qint64 pid, const char *name)
{
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A "Name:   1234 kB" line of /proc/<pid>/status, in bytes.
std::int64_t statusKilobytes(const QByteArray &status, const QByteArray &name)
{
    const qsizetype at = status.indexOf("\n" + name + ':');
    if (at < 0)
        return 0;
    const qsizetype end = status.indexOf('\n', at + 1);
    const QByteArray value = status.mid(at + name.size() + 2, end < 0 ? -1 : end - at - name.size() - 2);
    return value.trimmed().split(' ').value(0).toLongLong() * 1024;
}

} // namespace

std::optional<RendererBudget::Sample> processUsage(qint64 pid)
{
    // The command name in /proc/<pid>/stat may hold anything, so the fields are counted from
    // its closing parenthesis; utime and stime are the 14th and 15th fields.
    const QByteArray stat = readProcFile(pid, "stat");
    const QByteArray status = readProcFile(pid, "status");
    const qsizetype nameEnd = stat.lastIndexOf(')');
    if (nameEnd < 0 || status.isEmpty())
        return std::nullopt;
    const QList<QByteArray> fields = stat.mid(nameEnd + 2).split(' ');
    if (fields.size() < 13)
        return std::nullopt;
    static const long ticksPerSecond = ::sysconf(_SC_CLK_TCK);
    const long long ticks = fields.at(11).toLongLong() + fields.at(12).toLongLong();
    RendererBudget::Sample sample;
    sample.at = std::chrono::duration_cast<RendererBudget::Duration>(
        std::chrono::steady_clock::now().time_since_epoch());
    sample.cpu = RendererBudget::Duration(ticks * 1000 / ticksPerSecond);
    sample.memoryBytes = statusKilobytes(status, "RssAnon") + statusKilobytes(status, "RssShmem");
    return sample;
}

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
