#include "process_tree.h"

#include "event_wait.h"

#include <QDir>
#include <QFile>
#include <QHash>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace bench {

namespace {

// The fields of /proc/<pid>/stat after the command name: state is [0], the parent [1].
QList<QByteArray> statFields(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return {};
    const QByteArray line = stat.readAll();
    return line.mid(line.lastIndexOf(')') + 2).split(' ');
}

} // namespace

QList<qint64> processTree(qint64 root)
{
    QHash<qint64, qint64> parentOf;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        const qint64 pid = entry.toLongLong();
        if (pid > 0)
            parentOf.insert(pid, statFields(pid).value(1).toLongLong());
    }
    QList<qint64> tree;
    if (parentOf.contains(root))
        tree << root;
    for (qsizetype i = 0; i < tree.size(); ++i) {
        for (auto it = parentOf.cbegin(); it != parentOf.cend(); ++it) {
            if (it.value() == tree.at(i))
                tree << it.key();
        }
    }
    return tree;
}

namespace {

qint64 treeSmapsKb(const QList<qint64> &tree, std::initializer_list<const char *> fields)
{
    qint64 total = 0;
    for (qint64 pid : tree) {
        QFile rollup(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
        if (!rollup.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : rollup.readAll().split('\n')) {
            for (const char *field : fields) {
                if (line.startsWith(field))
                    total += line.simplified().split(' ').value(1).toLongLong();
            }
        }
    }
    return total;
}

} // namespace

qint64 treePssKb(const QList<qint64> &tree)
{
    return treeSmapsKb(tree, {"Pss:"});
}

qint64 treeUssKb(const QList<qint64> &tree)
{
    return treeSmapsKb(tree, {"Private_Clean:", "Private_Dirty:"});
}

namespace {

// What a mapping holds, from its permissions and the name /proc/<pid>/maps gives it.
QByteArray mappingKind(const QByteArray &permissions, const QByteArray &name)
{
    if (name.contains("libQt6WebEngineCore"))
        return permissions.contains('x') ? "web engine code" : "web engine data and relocations";
    if (name.contains(".so"))
        return "other libraries";
    if (name.endsWith(".pak") || name.contains("icudtl.dat") || name.contains("snapshot"))
        return "engine resources (.pak, icudtl.dat, V8 snapshot)";
    if (name.isEmpty() || name == "[heap]" || name.startsWith("[anon"))
        return "anonymous (malloc, PartitionAlloc, V8 heap)";
    if (name.startsWith("/memfd:") || name.startsWith("/dev/shm") || name.startsWith("/SYSV"))
        return "shared memory";
    if (name.startsWith("[stack"))
        return "stacks";
    return "other files";
}

struct Mapping {
    quint64 start = 0;
    quint64 end = 0;
    QByteArray kind;
};

// The mappings of a process that have pages in memory.
QList<Mapping> residentMappings(qint64 pid)
{
    QFile smaps(QStringLiteral("/proc/%1/smaps").arg(pid));
    QList<Mapping> mappings;
    if (!smaps.open(QIODevice::ReadOnly))
        return mappings;
    Mapping current;
    for (const QByteArray &line : smaps.readAll().split('\n')) {
        const QList<QByteArray> words = line.simplified().split(' ');
        if (words.value(0).contains('-') && words.size() >= 5) {
            const QList<QByteArray> range = words.value(0).split('-');
            current = {range.value(0).toULongLong(nullptr, 16), range.value(1).toULongLong(nullptr, 16),
                       mappingKind(words.value(1), words.mid(5).join(' '))};
        } else if (words.value(0) == "Rss:" && words.value(1).toLongLong() > 0) {
            mappings << current;
        }
    }
    return mappings;
}

} // namespace

qint64 treeDistinctKb(const QList<qint64> &tree, QMap<QByteArray, qint64> *byKind)
{
    constexpr quint64 present = 1ULL << 63;
    constexpr quint64 frameMask = (1ULL << 55) - 1;
    const qint64 pageKb = sysconf(_SC_PAGESIZE) / 1024;
    QHash<quint64, QByteArray> frames;
    for (qint64 pid : tree) {
        QFile pagemap(QStringLiteral("/proc/%1/pagemap").arg(pid));
        if (!pagemap.open(QIODevice::ReadOnly))
            continue;
        for (const Mapping &mapping : residentMappings(pid)) {
            const quint64 pageBytes = quint64(pageKb) * 1024;
            pagemap.seek(qint64(mapping.start / pageBytes * 8));
            const QByteArray entries = pagemap.read(qint64((mapping.end - mapping.start) / pageBytes * 8));
            for (qsizetype i = 0; i + 8 <= entries.size(); i += 8) {
                quint64 entry;
                memcpy(&entry, entries.constData() + i, 8);
                if ((entry & present) && (entry & frameMask))
                    frames.insert(entry & frameMask, mapping.kind);
            }
        }
    }
    if (frames.isEmpty())
        return -1;
    if (byKind) {
        byKind->clear();
        for (const QByteArray &kind : std::as_const(frames))
            (*byKind)[kind] += pageKb;
    }
    return qint64(frames.size()) * pageKb;
}

int processesMappingOutside(const QByteArray &name, const QList<qint64> &tree)
{
    int count = 0;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        const qint64 pid = entry.toLongLong();
        QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
        if (pid > 0 && !tree.contains(pid) && maps.open(QIODevice::ReadOnly) && maps.readAll().contains(name))
            ++count;
    }
    return count;
}

qint64 treeCpuTicks(const QList<qint64> &tree)
{
    qint64 ticks = 0;
    for (qint64 pid : tree) {
        const QList<QByteArray> fields = statFields(pid);
        ticks += fields.value(11).toLongLong() + fields.value(12).toLongLong(); // utime, stime
    }
    return ticks;
}

namespace {

// Nanoseconds on a CPU so far of the threads of the tree, summed by "<process> <thread name>".
QHash<QString, qint64> threadCpuNs(const QList<qint64> &tree)
{
    QHash<QString, qint64> byThread;
    for (qint64 pid : tree) {
        for (const QString &tid :
             QDir(QStringLiteral("/proc/%1/task").arg(pid)).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            const QString task = QStringLiteral("/proc/%1/task/%2/").arg(pid).arg(tid);
            QFile comm(task + QStringLiteral("comm"));
            QFile schedstat(task + QStringLiteral("schedstat"));
            if (!comm.open(QIODevice::ReadOnly) || !schedstat.open(QIODevice::ReadOnly))
                continue;
            const QString name = QStringLiteral("%1 %2").arg(pid).arg(
                QString::fromUtf8(comm.readAll().trimmed()));
            byThread[name] += schedstat.readAll().split(' ').value(0).toLongLong();
        }
    }
    return byThread;
}

} // namespace

double treeCpuPercent(qint64 root, int seconds)
{
    const QList<qint64> tree = processTree(root);
    const bool verbose = qEnvironmentVariableIsSet("BENCH_VERBOSE");
    const QHash<QString, qint64> threadsBefore = verbose ? threadCpuNs(tree) : QHash<QString, qint64>();
    const qint64 before = treeCpuTicks(tree);
    pause(seconds * 1000);
    const double percent = 100.0 * double(treeCpuTicks(tree) - before) / double(sysconf(_SC_CLK_TCK))
        / seconds;
    if (verbose) {
        // Where it went: each thread's share, the busiest first.
        const QHash<QString, qint64> after = threadCpuNs(tree);
        QList<std::pair<double, QString>> shares;
        for (auto it = after.begin(); it != after.end(); ++it)
            shares.push_back(
                {100.0 * double(it.value() - threadsBefore.value(it.key())) / 1e9 / seconds, it.key()});
        std::sort(shares.begin(), shares.end(), std::greater<>());
        for (const auto &[share, name] : shares) {
            if (share >= 0.01)
                std::fprintf(stderr, "    %5.2f %%  %s\n", share, qPrintable(name));
        }
    }
    return percent;
}

void endTree(qint64 root)
{
    if (root <= 0) // not running (kill(0) would end the benchmark's own process group)
        return;
    const QList<qint64> tree = processTree(root);
    ::kill(pid_t(root), SIGTERM);
    waitUntil([root] { return processTree(root).isEmpty(); }, 3000);
    for (qint64 pid : tree)
        ::kill(pid_t(pid), SIGKILL);
}

} // namespace bench
