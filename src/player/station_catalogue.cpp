#include "station_catalogue.h"

#include <array>

namespace tarvoni {

namespace {

using enum StreamScheme;

constexpr std::array<StationRow, 29> kRows{{
    {"asura", "Asura FM", Http, "asura", 0, "/live", "Asura FM", "asura.gif"},
    {"city", "City FM", Http, "G3", 0, "/cityfm/", "City Fm", "city.gif"},
    {"lakhada", "Lakhada", Http, "lakhada", 0, "/live", "Lakhanda", "lakhada.gif"},
    {"rangiri", "Rangiri FM", Http, "rangiri", 8888, "", "Rangiri FM", "rangiri.jpg"},
    {"neth", "Neth FM", Http, "neth", 5552, "", "Neth FM", "neth.gif"},
    {"sirasa", "Sirasa FM", Mms, "G2", 0, "/SirasaFM", "Sirasa FM", "sirasa.gif"},
    {"sns", "Sinhala National Service", Http, "sns", 0, "/live/", "SNS", "sns.gif"},
    {"comservice", "Commercial Service", Http, "comservice", 0, "/live/", "Sinhala Commercial Service",
     "logo_a.jpg"},
    {"yfm", "Y FM", Mms, "G2", 0, "/YFM", "Y FM", "yfm.gif"},
    {"efm", "e FM", Http, "efm", 0, "", "e FM", "efm.jpg"},
    {"lite", "Lite FM", Http, "lite", 0, "/live", "Lite FM", "lite.gif"},
    {"yes", "Yes FM", Mms, "G2", 0, "/yesFM", "Yes FM", "yes.gif"},
    {"tnl", "TNL Rocks", Http, "tnl", 0, "/live", "TNL Rocks", "tnl.gif"},
    {"tns", "Tamil National", Http, "G3", 0, "/cityfm_tamil/", "Tamil National", "logo_a.jpg"},
    {"shakthi", "Shakthi FM", Mms, "G2", 0, "/ShakthiFM", "Shakthi FM", "shakthi.gif"},
    {"sinhalaya", "Sinhalaya Radio", Http, "sinhalaya", 0, "/radio.asx", "", "sinhalaya.jpg"},
    {"miyurusara", "Miyurusara", Http, "miyurusara", 9000, "", "Miyurusara Radio", "miyurusara.jpg"},
    {"j9", "J9 Radio", Http, "j9", 8000, "/J9_RadioF", "J9 Radio", "j9.gif"},
    {"kirula", "Kirula Radio", Http, "kirula", 0, "/kirula.asx", "Kirula Radio", "kirula.jpg"},
    {"prabhavi", "Prabhavi Radio", Http, "prabhavi", 0, "/listen_.asx", "Prabhavi Radio", "prabhavi.jpg"},
    {"minsara", "Minsara Radio", Http, "minsara", 0, "/radio/radio.asx", "Minsara Radio", "minsara.jpg"},
    {"nilwala", "Nilwala Radio", Http, "nilwala", 8704, "", "Nilwala Radio", "nilwala.gif"},
    {"threesinhala", "3Sinhala Radio", Http, "threesinhala", 0, "/stream/84/listen.asx", "3Sinhala Web Radio",
     "threesinhala.gif"},
    {"ravsfm", "Rav's FM", Mms, "ravsfm", 0, "/Rav's_FM", "Rav's FM", "ravsfm.gif"},
    {"ahamu", "Ahamu Radio", Http, "ahamu", 0, "/ahamu.asx", "Ahamu", "ahamu.gif"},
    {"lbclassical", "Classical", Http, "G1", 0, "/classic_channel_auto.asx", "Classical Channel",
     "logo_b.gif"},
    {"lbcon", "Contemporary", Http, "G1", 0, "/contemp_channel_auto.asx", "Contemporary Channel",
     "logo_b.gif"},
    {"lbnonstop", "Non-stop/Baila", Http, "G1", 0, "/nonstop_channel_auto.asx", "Non-stop / Baila Channel",
     "logo_b.gif"},
    {"lbdj", "   DJ / Remix", Http, "G1", 0, "/remix_channel_auto.asx", "DJ / Remix Channel", "logo_b.gif"},
}};

QString fromView(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace

QString buildStreamAddress(StreamScheme scheme, const QString &host, int port, std::string_view path)
{
    QString address = scheme == Mms ? QStringLiteral("mms") : QStringLiteral("http");
    address += QStringLiteral("://") + host;
    if (port != 0)
        address += QLatin1Char(':') + QString::number(port);
    address += fromView(path);
    return address;
}

StationCatalogue::StationCatalogue(const StreamHosts &hosts)
{
    m_stations.reserve(kRows.size());
    for (const StationRow &row : kRows) {
        const QString nowPlaying = row.nowPlaying.empty() ? hosts.sinhalayaDomain + QStringLiteral(" Radio")
                                                          : fromView(row.nowPlaying);
        m_stations.push_back(
            {fromView(row.controlName), fromView(row.caption),
             buildStreamAddress(row.scheme, hosts.host(fromView(row.hostKey)), row.port, row.path),
             nowPlaying, fromView(row.logo)});
    }
}

const StationCatalogue &StationCatalogue::builtIn()
{
    static const StationCatalogue catalogue(StreamHosts::builtIn());
    return catalogue;
}

std::span<const StationRow> StationCatalogue::rows()
{
    return kRows;
}

const Station *StationCatalogue::find(QStringView controlName) const
{
    for (const Station &station : m_stations) {
        if (station.controlName == controlName)
            return &station;
    }
    return nullptr;
}

} // namespace tarvoni
