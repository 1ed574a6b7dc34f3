// When an unloaded ad pane loads its page again, with the times given.

#include "ad_engine/ad_reload_backoff.h"

#include <QTest>

using namespace tarvoni;
using Comebacks = std::vector<AdReloadBackoff::Comeback>;

namespace {

constexpr AdReloadBackoff::Duration seconds(int s)
{
    return std::chrono::seconds(s);
}

} // namespace

class TestAdReloadBackoff : public QObject {
    Q_OBJECT

private slots:
    void pageOverItsBudgetWaits_data();
    void pageOverItsBudgetWaits();
    void sharedRenderer();
};

void TestAdReloadBackoff::pageOverItsBudgetWaits_data()
{
    QTest::addColumn<QList<int>>("withinBudget"); // seconds after each load, then it trips
    QTest::addColumn<QList<int>>("waits");        // seconds
    QTest::newRow("trips again each time it is back")
        << QList<int>{5, 1, 1, 1, 1, 1, 1, 1, 1}
        << QList<int>{60, 120, 240, 480, 960, 1920, 3600, 3600, 3600};
    QTest::newRow("an hour within budget starts it afresh")
        << QList<int>{5, 1, 3600, 1} << QList<int>{60, 120, 60, 120};
    QTest::newRow("less than an hour does not") << QList<int>{5, 1, 3599} << QList<int>{60, 120, 240};
}

void TestAdReloadBackoff::pageOverItsBudgetWaits()
{
    QFETCH(QList<int>, withinBudget);
    QFETCH(QList<int>, waits);
    AdReloadBackoff backoff;
    int at = 100;
    backoff.loaded(1, seconds(at));
    for (qsizetype i = 0; i < withinBudget.size(); ++i) {
        at += withinBudget.at(i);
        const AdReloadBackoff::Comeback comeback = backoff.overLoadLimit(1, seconds(at));
        QCOMPARE(comeback.pane, 1);
        QCOMPARE(comeback.after, seconds(waits.at(i)));
        at += waits.at(i);
        backoff.loaded(1, seconds(at));
    }
}

void TestAdReloadBackoff::sharedRenderer()
{
    // Two fresh pages: the pane set up last waits, its neighbour comes back at once.
    AdReloadBackoff fresh(seconds(5));
    fresh.loaded(0, seconds(0));
    fresh.loaded(1, seconds(0));
    QCOMPARE(fresh.rendererOverBudget({0, 1}, seconds(20)), (Comebacks{{0, seconds(0)}, {1, seconds(5)}}));

    // If the one back at once then trips on its own, it was the one: the other comes back now,
    // and its wait is forgiven.
    fresh.loaded(0, seconds(20));
    QCOMPARE(fresh.rendererOverBudget({0}, seconds(40)), (Comebacks{{0, seconds(5)}, {1, seconds(0)}}));
    fresh.loaded(0, seconds(45));
    fresh.loaded(1, seconds(40));
    QCOMPARE(fresh.rendererOverBudget({1}, seconds(50)), (Comebacks{{1, seconds(5)}}));

    // A pane that has tripped lately is held, whichever was set up last.
    AdReloadBackoff known;
    known.loaded(0, seconds(0));
    known.loaded(1, seconds(0));
    QCOMPARE(known.overLoadLimit(0, seconds(10)), (AdReloadBackoff::Comeback{0, seconds(60)}));
    known.loaded(0, seconds(70));
    QCOMPARE(known.rendererOverBudget({0, 1}, seconds(100)), (Comebacks{{0, seconds(120)}, {1, seconds(0)}}));
    // An hour after it came back, it is trusted again.
    known.loaded(0, seconds(220));
    QCOMPARE(known.rendererOverBudget({0, 1}, seconds(220 + 3600)),
             (Comebacks{{0, seconds(0)}, {1, seconds(60)}}));
}

QTEST_APPLESS_MAIN(TestAdReloadBackoff)
#include "test_ad_reload_backoff.moc"
