#include "tray_fakes.h"

#include "tray/api_stuff.h"

#include <QTest>

using namespace tarvoni;
using namespace tarvoni::test;

namespace {

QByteArray tipField(const TrayIconRecord &record)
{
    return QByteArray(record.szTip, sizeof record.szTip);
}

QString letters(int count)
{
    QString text;
    for (int i = 0; i < count; ++i)
        text += QChar(u'a' + i % 26);
    return text;
}

} // namespace

class TestAPIStuff : public QObject {
    Q_OBJECT
private slots:
    void nothingBeforeInstall();
    void install();
    void tip_data();
    void tip();
    void tipKeepsTheOtherFields();
    void tipOfAFieldWithoutNul();
    void remove();
};

void TestAPIStuff::nothingBeforeInstall()
{
    FakeForm form;
    FakeNotificationArea area;
    APIStuff module(area, form.host);
    QVERIFY(!module.formReference());
    QVERIFY(!module.menuReference());
    QVERIFY(!module.savedWindowProc());
    QVERIFY(area.calls.isEmpty());
}

void TestAPIStuff::install()
{
    FakeForm form;
    FakeNotificationArea area;
    QMenu *const menu = reinterpret_cast<QMenu *>(quintptr(0x7e57)); // only held, never used
    // The hook must be in place before the icon exists, so the first click reaches it.
    bool hookInPlaceAtAdd = false;
    struct Probe final : NotificationArea {
        FakeNotificationArea &inner;
        FakeForm &form;
        bool &hookInPlace;
        Probe(FakeNotificationArea &i, FakeForm &f, bool &h)
            : inner(i)
            , form(f)
            , hookInPlace(h)
        {
        }
        bool notifyIcon(quint32 message, const TrayIconRecord &record) override
        {
            if (message == NIM_ADD) {
                form.visible = false;
                form.host.sendMessage(kWindow, TRAY_CALLBACK_MESSAGE, 0, qint32(WM_LBUTTONUP));
                hookInPlace = form.visible;
            }
            return inner.notifyIcon(message, record);
        }
        bool isAvailable() const override { return true; }
    } probe(area, form, hookInPlaceAtAdd);
    APIStuff probed(probe, form.host);
    probed.installTrayIcon(form, menu);
    QVERIFY(hookInPlaceAtAdd);
    QVERIFY(form.defaultHandled.isEmpty());

    QCOMPARE(probed.formReference(), &form);
    QCOMPARE(probed.menuReference(), menu);
    QVERIFY(probed.savedWindowProc());
    QCOMPARE(area.calls.size(), 1);
    const auto &[message, record] = area.calls.first();
    QCOMPARE(message, NIM_ADD);
    QCOMPARE(record.cbSize, 88u);
    QCOMPARE(record.hWnd, kWindow);
    QCOMPARE(record.uID, 0u);
    QCOMPARE(record.uFlags, 3u);
    QCOMPARE(record.uCallbackMessage, 2025u);
    QCOMPARE(record.hIcon, kIcon);
}

void TestAPIStuff::tip_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<QString>("shown");
    QTest::newRow("empty") << QString() << QByteArray(1, '\0') + QByteArray(63, ' ') << QString();
    const QString name = QStringLiteral("Tarvoni Radio Player");
    QTest::newRow("20 characters") << name << name.toLatin1() + QByteArray(1, '\0') + QByteArray(43, ' ')
                                   << name;
    const QString fill = letters(63);
    QTest::newRow("63 characters") << fill << fill.toLatin1() + QByteArray(1, '\0') << fill;
    QTest::newRow("64 characters, cut to 63") << letters(64) << fill.toLatin1() + QByteArray(1, '\0') << fill;
    QTest::newRow("70 characters, cut to 63") << letters(70) << fill.toLatin1() + QByteArray(1, '\0') << fill;
    const QString station = QStringLiteral("Sinhala Commercial Service - Tarvoni Radio Player");
    QTest::newRow("longest station tip")
        << station << station.toLatin1() + QByteArray(1, '\0') + QByteArray(14, ' ') << station;
    QTest::newRow("beyond Latin-1") << QStringLiteral("Radio \u0DC3")
                                    << QByteArrayLiteral("Radio ?") + QByteArray(1, '\0')
            + QByteArray(56, ' ') << QStringLiteral("Radio ?");
}

void TestAPIStuff::tip()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, field);
    QFETCH(QString, shown);
    FakeForm form;
    FakeNotificationArea area;
    APIStuff module(area, form.host);
    module.installTrayIcon(form, nullptr);
    // A longer tip first: nothing of it may survive.
    module.setTrayTip(letters(70));
    module.setTrayTip(text);
    QCOMPARE(field.size(), 64);
    QCOMPARE(tipField(module.record()), field);
    QCOMPARE(area.calls.size(), 3);
    QCOMPARE(area.calls.last().message, NIM_MODIFY);
    QCOMPARE(tipField(area.calls.last().record), field);
    QCOMPARE(trayTipText(area.calls.last().record), shown);
}

void TestAPIStuff::tipKeepsTheOtherFields()
{
    FakeForm form;
    FakeNotificationArea area;
    APIStuff module(area, form.host);
    module.installTrayIcon(form, nullptr);
    module.setTrayTip(QStringLiteral("Tarvoni Radio Player"));
    const TrayIconRecord &record = area.calls.last().record;
    QCOMPARE(record.uFlags, 4u);
    QCOMPARE(record.cbSize, 88u);
    QCOMPARE(record.hWnd, kWindow);
    QCOMPARE(record.uID, 0u);
    QCOMPARE(record.uCallbackMessage, 2025u);
    QCOMPARE(record.hIcon, kIcon);
}

void TestAPIStuff::tipOfAFieldWithoutNul()
{
    TrayIconRecord record;
    std::fill(std::begin(record.szTip), std::end(record.szTip), 'x');
    QCOMPARE(trayTipText(record), QString(64, u'x'));
}

void TestAPIStuff::remove()
{
    FakeForm form;
    FakeNotificationArea area;
    APIStuff module(area, form.host);
    QMenu *const menu = reinterpret_cast<QMenu *>(quintptr(0x7e57));
    module.installTrayIcon(form, menu);
    module.setTrayTip(QStringLiteral("Tarvoni Radio Player"));
    const QByteArray tip = tipField(module.record());
    module.removeTrayIcon();

    QCOMPARE(area.calls.size(), 3);
    const auto &[message, record] = area.calls.last();
    QCOMPARE(message, NIM_DELETE);
    QCOMPARE(record.uFlags, 0u);
    QCOMPARE(record.hWnd, kWindow);
    QCOMPARE(record.uID, 0u);
    QCOMPARE(record.uCallbackMessage, 2025u);
    QCOMPARE(record.hIcon, kIcon);
    QCOMPARE(tipField(record), tip);
    QVERIFY(!module.formReference());
    QCOMPARE(module.menuReference(), menu);
    QVERIFY(module.savedWindowProc());
    // The hook is still the window's procedure, and still passes messages on.
    QCOMPARE(form.host.sendMessage(kWindow, WM_SYSCOMMAND, SC_MINIMIZE, 0), kDefaultResult);
    QCOMPARE(form.defaultHandled.size(), 1);
}

QTEST_GUILESS_MAIN(TestAPIStuff)
#include "test_api_stuff.moc"
