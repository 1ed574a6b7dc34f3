#include "window/status_to_say.h"

#include <QTest>

using tarvoni::StatusToSay;

class TestStatusToSay : public QObject {
    Q_OBJECT

private slots:
    void statusesSaid_data();
    void statusesSaid();
};

void TestStatusToSay::statusesSaid_data()
{
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QStringList>("said");
    const QString lost = QStringLiteral("Stream lost; reconnecting in %1 s (attempt %2)");
    QTest::newRow("each new status") << QStringList{"Connecting to a...", "Playing (128 kbps): A"}
                                     << QStringList{"Connecting to a...", "Playing (128 kbps): A"};
    QTest::newRow("a new title") << QStringList{"Playing: A", "Playing: B"}
                                 << QStringList{"Playing: A", "Playing: B"};
    QTest::newRow("titles that differ in their numbers")
        << QStringList{"Playing (128 kbps): Track 1", "Playing (128 kbps): Track 2"}
        << QStringList{"Playing (128 kbps): Track 1", "Playing (128 kbps): Track 2"};
    QTest::newRow("the bit rate settling, quietly")
        << QStringList{"Playing: A", "Playing (128 kbps): A", "Playing (160 kbps): A"}
        << QStringList{"Playing: A"};
    QTest::newRow("buffering counts up quietly")
        << QStringList{"Buffering 0%", "Buffering 45%", "Buffering 99%"} << QStringList{"Buffering 0%"};
    QTest::newRow("a countdown and its next attempt, quietly")
        << QStringList{lost.arg(5).arg(1), lost.arg(4).arg(1), lost.arg(5).arg(2)}
        << QStringList{lost.arg(5).arg(1)};
    QTest::newRow("another status between: buffering again")
        << QStringList{"Buffering 10%", "Playing", "Buffering 20%"}
        << QStringList{"Buffering 10%", "Playing", "Buffering 20%"};
    QTest::newRow("the same status twice") << QStringList{"Stopped", "Stopped"} << QStringList{"Stopped"};
    QTest::newRow("an empty status") << QStringList{"Stopped", "", "Stopped"} << QStringList{"Stopped"};
}

void TestStatusToSay::statusesSaid()
{
    QFETCH(QStringList, shown);
    QFETCH(QStringList, said);
    StatusToSay toSay;
    QStringList saidNow;
    for (const QString &status : shown) {
        if (toSay.next(status))
            saidNow << status;
    }
    QCOMPARE(saidNow, said);
}

QTEST_APPLESS_MAIN(TestStatusToSay)
#include "test_status_to_say.moc"
