#include "player/station_catalogue.h"

#include <QRegularExpression>
#include <QSet>
#include <QTest>

using namespace tarvoni;

namespace {

// The catalogue as the product defines it: control name, caption, address with the host
// left out, now-playing text. "{host}" stands for the station's streaming host.
struct ExpectedRow {
    const char *controlName;
    const char *caption;
    const char *address;
    const char *nowPlaying;
};

const ExpectedRow kExpected[] = {
    {"asura", "Asura FM", "http://{host}/live", "Asura FM"},
    {"city", "City FM", "http://{host}/cityfm/", "City Fm"},
    {"lakhada", "Lakhada", "http://{host}/live", "Lakhanda"},
    {"rangiri", "Rangiri FM", "http://{host}:8888", "Rangiri FM"},
    {"neth", "Neth FM", "http://{host}:5552", "Neth FM"},
    {"sirasa", "Sirasa FM", "mms://{host}/SirasaFM", "Sirasa FM"},
    {"sns", "Sinhala National Service", "http://{host}/live/", "SNS"},
    {"comservice", "Commercial Service", "http://{host}/live/", "Sinhala Commercial Service"},
    {"yfm", "Y FM", "mms://{host}/YFM", "Y FM"},
    {"efm", "e FM", "http://{host}", "e FM"},
    {"lite", "Lite FM", "http://{host}/live", "Lite FM"},
    {"yes", "Yes FM", "mms://{host}/yesFM", "Yes FM"},
    {"tnl", "TNL Rocks", "http://{host}/live", "TNL Rocks"},
    {"tns", "Tamil National", "http://{host}/cityfm_tamil/", "Tamil National"},
    {"shakthi", "Shakthi FM", "mms://{host}/ShakthiFM", "Shakthi FM"},
    {"sinhalaya", "Sinhalaya Radio", "http://{host}/radio.asx", "{domain} Radio"},
    {"miyurusara", "Miyurusara", "http://{host}:9000", "Miyurusara Radio"},
    {"j9", "J9 Radio", "http://{host}:8000/J9_RadioF", "J9 Radio"},
    {"kirula", "Kirula Radio", "http://{host}/kirula.asx", "Kirula Radio"},
    {"prabhavi", "Prabhavi Radio", "http://{host}/listen_.asx", "Prabhavi Radio"},
    {"minsara", "Minsara Radio", "http://{host}/radio/radio.asx", "Minsara Radio"},
    {"nilwala", "Nilwala Radio", "http://{host}:8704", "Nilwala Radio"},
    {"threesinhala", "3Sinhala Radio", "http://{host}/stream/84/listen.asx", "3Sinhala Web Radio"},
    {"ravsfm", "Rav's FM", "mms://{host}/Rav's_FM", "Rav's FM"},
    {"ahamu", "Ahamu Radio", "http://{host}/ahamu.asx", "Ahamu"},
    {"lbclassical", "Classical", "http://{host}/classic_channel_auto.asx", "Classical Channel"},
    {"lbcon", "Contemporary", "http://{host}/contemp_channel_auto.asx", "Contemporary Channel"},
    {"lbnonstop", "Non-stop/Baila", "http://{host}/nonstop_channel_auto.asx", "Non-stop / Baila Channel"},
    {"lbdj", "   DJ / Remix", "http://{host}/remix_channel_auto.asx", "DJ / Remix Channel"},
};

QString hostPart(const QString &address)
{
    const QString rest = address.mid(address.indexOf(QLatin1String("://")) + 3);
    const qsizetype end = rest.indexOf(QRegularExpression(QStringLiteral("[:/]")));
    return end < 0 ? rest : rest.left(end);
}

QString pathPart(const QString &address)
{
    const QString rest = address.mid(address.indexOf(QLatin1String("://")) + 3);
    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : rest.mid(slash);
}

} // namespace

class TestStationCatalogue : public QObject {
    Q_OBJECT

private slots:
    void everyRowAsDefined_data();
    void everyRowAsDefined();
    void gridOrderAndUniqueNames();
    void addressShapes_data();
    void addressShapes();
    void hostGroupsShareOneHostAndDifferInPath_data();
    void hostGroupsShareOneHostAndDifferInPath();
    void everyRowHasAHost();
    void lookUp();
    void substituteHosts();
};

void TestStationCatalogue::everyRowAsDefined_data()
{
    QTest::addColumn<int>("index");
    for (int i = 0; i < int(std::size(kExpected)); ++i)
        QTest::newRow(kExpected[i].controlName) << i;
}

void TestStationCatalogue::everyRowAsDefined()
{
    QFETCH(int, index);
    const ExpectedRow &expected = kExpected[index];
    const Station &station = StationCatalogue::builtIn().stations()[size_t(index)];
    const QString host = hostPart(station.streamAddress);
    QVERIFY(!host.isEmpty());

    QCOMPARE(station.controlName, QString::fromUtf8(expected.controlName));
    QCOMPARE(station.caption, QString::fromUtf8(expected.caption));
    QCOMPARE(station.streamAddress, QString::fromUtf8(expected.address).replace("{host}", host));
    QCOMPARE(
        station.nowPlaying,
        QString::fromUtf8(expected.nowPlaying).replace("{domain}", StreamHosts::builtIn().sinhalayaDomain));
}

void TestStationCatalogue::gridOrderAndUniqueNames()
{
    const auto stations = StationCatalogue::builtIn().stations();
    QCOMPARE(stations.size(), std::size(kExpected));
    QSet<QString> names;
    for (const Station &station : stations)
        names.insert(station.controlName);
    QCOMPARE(names.size(), qsizetype(stations.size()));
    QCOMPARE(stations.front().controlName, QStringLiteral("asura"));
    QCOMPARE(stations.back().controlName, QStringLiteral("lbdj"));
}

void TestStationCatalogue::addressShapes_data()
{
    QTest::addColumn<QString>("controlName");
    QTest::addColumn<QString>("shape");
    for (const char *name : {"miyurusara", "neth", "nilwala", "rangiri", "efm"})
        QTest::newRow(name) << name << "no path";
    for (const char *name : {"comservice", "city", "sns", "tns"})
        QTest::newRow(name) << name << "ends in /";
    for (const char *name : {"tnl", "lakhada", "lite", "asura"})
        QTest::newRow(name) << name << "ends in /live";
}

void TestStationCatalogue::addressShapes()
{
    QFETCH(QString, controlName);
    QFETCH(QString, shape);
    const Station *station = StationCatalogue::builtIn().find(controlName);
    QVERIFY(station);
    const QString address = station->streamAddress;
    if (shape == "no path") {
        QVERIFY2(pathPart(address).isEmpty(), qPrintable(address));
        QVERIFY(!address.endsWith('/'));
    } else if (shape == "ends in /") {
        QVERIFY2(address.endsWith('/'), qPrintable(address));
    } else {
        QVERIFY2(address.endsWith("/live"), qPrintable(address));
    }
}

void TestStationCatalogue::hostGroupsShareOneHostAndDifferInPath_data()
{
    QTest::addColumn<QStringList>("members");
    QTest::newRow("G1") << QStringList{"lbclassical", "lbcon", "lbnonstop", "lbdj"};
    QTest::newRow("G2") << QStringList{"sirasa", "yfm", "yes", "shakthi"};
    QTest::newRow("G3") << QStringList{"city", "tns"};
}

void TestStationCatalogue::hostGroupsShareOneHostAndDifferInPath()
{
    QFETCH(QStringList, members);
    const StationCatalogue &catalogue = StationCatalogue::builtIn();
    const QString first = catalogue.find(members.front())->streamAddress;
    QSet<QString> paths;
    for (const QString &name : members) {
        const QString address = catalogue.find(name)->streamAddress;
        QCOMPARE(address.left(address.size() - pathPart(address).size()),
                 first.left(first.size() - pathPart(first).size()));
        paths.insert(pathPart(address));
    }
    QCOMPARE(paths.size(), members.size());
}

void TestStationCatalogue::everyRowHasAHost()
{
    // A row whose host key is missing from the host table would give "http:///live".
    for (const StationRow &row : StationCatalogue::rows()) {
        const QString key = QString::fromUtf8(row.hostKey.data(), qsizetype(row.hostKey.size()));
        QVERIFY2(!StreamHosts::builtIn().host(key).isEmpty(), qPrintable(key));
    }
    QVERIFY(!StreamHosts::builtIn().adServer.isEmpty());
}

void TestStationCatalogue::lookUp()
{
    const StationCatalogue &catalogue = StationCatalogue::builtIn();
    QCOMPARE(catalogue.find(u"ravsfm")->streamAddress.right(9), QStringLiteral("/Rav's_FM"));
    QCOMPARE(catalogue.find(u"lbdj")->caption, QStringLiteral("   DJ / Remix"));
    QCOMPARE(catalogue.find(u"nosuchstation"), nullptr);
    QCOMPARE(catalogue.find(u""), nullptr);
    QCOMPARE(catalogue.find(u"Asura"), nullptr); // names are exact
}

void TestStationCatalogue::substituteHosts()
{
    StreamHosts hosts = StreamHosts::builtIn();
    hosts.hostByKey["G1"] = QStringLiteral("127.0.0.1:8080");
    hosts.sinhalayaDomain = QStringLiteral("example.lk");
    const StationCatalogue catalogue(hosts);
    QCOMPARE(catalogue.find(u"lbcon")->streamAddress,
             QStringLiteral("http://127.0.0.1:8080/contemp_channel_auto.asx"));
    QCOMPARE(catalogue.find(u"sinhalaya")->nowPlaying, QStringLiteral("example.lk Radio"));
    QCOMPARE(buildStreamAddress(StreamScheme::Mms, "h", 0, ""), QStringLiteral("mms://h"));
    QCOMPARE(buildStreamAddress(StreamScheme::Http, "h", 81, "/a/"), QStringLiteral("http://h:81/a/"));
}

QTEST_APPLESS_MAIN(TestStationCatalogue)
#include "test_station_catalogue.moc"
