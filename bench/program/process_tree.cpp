#include "process_tree.h"

#include "event_wait.h"

#include <QDir>
#include <QFile>
#include <QHash>

#include <csignal>
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

double treeCpuPercent(qint64 root, int seconds)
{
    const QList<qint64> tree = processTree(root);
    const qint64 before = treeCpuTicks(tree);
    pause(seconds * 1000);
    return 100.0 * double(treeCpuTicks(tree) - before) / double(sysconf(_SC_CLK_TCK)) / seconds;
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
