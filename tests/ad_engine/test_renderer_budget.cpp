// The ad renderer's budget, fed the samples a watch would take once a second.

#include "ad_engine/renderer_budget.h"

#include <QTest>

using namespace tarvoni;
using Verdict = RendererBudget::Verdict;

namespace {

// Feeds `seconds` samples of a renderer that uses `busyPercent` of a core (from `cpu`, in ms,
// at second `at`); returns the first verdict other than Within, or Within.
Verdict run(RendererBudget &budget, int &at, double &cpu, int seconds, int busyPercent)
{
    for (int i = 0; i < seconds; ++i, ++at) {
        cpu += 10.0 * busyPercent;
        const Verdict verdict = budget.add(
            {std::chrono::seconds(at), RendererBudget::Duration(qint64(cpu)), 0});
        if (verdict != Verdict::Within)
            return verdict;
    }
    return Verdict::Within;
}

} // namespace

class TestRendererBudget : public QObject {
    Q_OBJECT

private slots:
    void cpuOverAnyThirtySeconds_data();
    void cpuOverAnyThirtySeconds();
    void memory();
};

void TestRendererBudget::cpuOverAnyThirtySeconds_data()
{
    QTest::addColumn<QList<int>>("pattern"); // pairs: seconds, percent of a core
    QTest::addColumn<bool>("overBudget");
    QTest::newRow("an ad that animates, for an hour") << QList<int>{3600, 20} << false;
    QTest::newRow("half a core, for an hour") << QList<int>{3600, 50} << false;
    QTest::newRow("an endless loop") << QList<int>{20, 100} << true;
    QTest::newRow("a busy start, then quiet") << QList<int>{14, 100, 600, 5} << false;
    QTest::newRow("busy bursts with rests between") << QList<int>{14, 100, 20, 0, 14, 100, 20, 0} << false;
    QTest::newRow("two bursts within thirty seconds") << QList<int>{10, 100, 5, 0, 10, 100} << true;
}

void TestRendererBudget::cpuOverAnyThirtySeconds()
{
    QFETCH(QList<int>, pattern);
    QFETCH(bool, overBudget);
    RendererBudget budget;
    int at = 100;
    double cpu = 5000;
    Verdict verdict = Verdict::Within;
    for (qsizetype i = 0; i + 1 < pattern.size() && verdict == Verdict::Within; i += 2)
        verdict = run(budget, at, cpu, pattern.at(i), pattern.at(i + 1));
    QCOMPARE(verdict, overBudget ? Verdict::TooBusy : Verdict::Within);
}

void TestRendererBudget::memory()
{
    RendererBudget budget;
    const auto sample = [](int second, std::int64_t mb) {
        return RendererBudget::Sample{std::chrono::seconds(second), {}, mb << 20};
    };
    QCOMPARE(budget.add(sample(1, 300)), Verdict::Within);
    QCOMPARE(budget.add(sample(2, 301)), Verdict::TooLarge);
}

QTEST_APPLESS_MAIN(TestRendererBudget)
#include "test_renderer_budget.moc"
