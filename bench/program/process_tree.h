#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QtGlobal>

// A process and everything it started, as /proc shows them now.
namespace bench {

QList<qint64> processTree(qint64 root);
// PSS of the whole tree, in kB.
qint64 treePssKb(const QList<qint64> &tree);
// Its private memory (USS), in kB: unlike PSS, it does not change with what other programs
// on the machine share with it, so it is the steadier figure for comparing settings.
qint64 treeUssKb(const QList<qint64> &tree);
// The memory the tree holds as if nothing outside it shared its pages: its distinct resident
// pages, each counted once, in kB, and with `byKind` the same split by kind of mapping. It needs
// root to see the pages' frames; -1 without. Steady whatever else runs on the machine.
qint64 treeDistinctKb(const QList<qint64> &tree, QMap<QByteArray, qint64> *byKind = nullptr);
// How many processes outside `tree` map a file whose path contains `name`. Pages they share
// with the tree lower its PSS, so this says how far the figure depends on the rest of the machine.
int processesMappingOutside(const QByteArray &name, const QList<qint64> &tree);
// CPU time (user + system) the tree has used so far, in clock ticks.
qint64 treeCpuTicks(const QList<qint64> &tree);
// CPU use of the tree over `seconds`, in percent of one core.
double treeCpuPercent(qint64 root, int seconds);
// Ends the process and whatever it left behind: SIGTERM, then SIGKILL after a grace time.
void endTree(qint64 root);

} // namespace bench
