#include "process_usage.h"

#include <QDir>
#include <QFile>
#include <QList>

#include <unistd.h>

namespace tarvoni {

namespace {

QByteArray readProcFile(qint64 pid, const char *name)
{
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The fields of /proc/<pid>/stat from the third (the state) on. The command name before them
// may hold anything, so they are counted from its closing parenthesis.
QList<QByteArray> statFields(qint64 pid)
{
    const QByteArray stat = readProcFile(pid, "stat");
    const qsizetype nameEnd = stat.lastIndexOf(')');
    return nameEnd < 0 ? QList<QByteArray>() : stat.mid(nameEnd + 2).split(' ');
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

// How long the threads of `pid` have waited on a run queue, ready to run: the processor time a
// busy process wanted and did not get while others had the processor.
RendererBudget::Duration runQueueWait(qint64 pid)
{
    qint64 nanoseconds = 0;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        // "<time on the processor> <time waiting to run> <time slices>", in nanoseconds.
        QFile schedstat(tasks.filePath(task + QStringLiteral("/schedstat")));
        if (schedstat.open(QIODevice::ReadOnly))
            nanoseconds += schedstat.readAll().split(' ').value(1).toLongLong();
    }
    return RendererBudget::Duration(nanoseconds / 1000000);
}

} // namespace

std::optional<RendererBudget::Sample> processUsage(qint64 pid)
{
    // utime and stime are the 14th and 15th fields.
    const QList<QByteArray> fields = statFields(pid);
    const QByteArray status = readProcFile(pid, "status");
    if (fields.size() < 13 || status.isEmpty())
        return std::nullopt;
    static const long ticksPerSecond = ::sysconf(_SC_CLK_TCK);
    const long long ticks = fields.at(11).toLongLong() + fields.at(12).toLongLong();
    RendererBudget::Sample sample;
    sample.at = std::chrono::duration_cast<RendererBudget::Duration>(
        std::chrono::steady_clock::now().time_since_epoch());
    // A page that keeps the processor busy on a machine that is busy too gets less of it than
    // it wants, and might never be seen to take its 15 s: it counts what it waited for too.
    sample.cpu = RendererBudget::Duration(ticks * 1000 / ticksPerSecond) + runQueueWait(pid);
    sample.memoryBytes = statusKilobytes(status, "RssAnon") + statusKilobytes(status, "RssShmem");
    return sample;
}

bool descendsFrom(qint64 pid, qint64 ancestor)
{
    // The parent is the 4th field. Three generations cover the renderer and the helper that
    // may have started it.
    for (int generation = 0; generation < 3 && pid > 1; ++generation) {
        pid = statFields(pid).value(1).toLongLong();
        if (pid == ancestor)
            return true;
    }
    return false;
}

} // namespace tarvoni
