#include "station_catalogue.h"

#include <array>

namespace tarvoni {

namespace {

using enum StreamScheme;

constexpr std::array<StationRow, 29> kRows{{
    {"asura", "Asura FM", Http, "asura", 0, "/live", "Asura FM"},
    {"city", "City FM", Http, "G3", 0, "/cityfm/", "City Fm"},
    {"lakhada", "Lakhada", Http, "lakhada", 0, "/live", "Lakhanda"},
    {"rangiri", "Rangiri FM", Http, "rangiri", 8888, "", "Rangiri FM"},
    {"neth", "Neth FM", Http, "neth", 5552, "", "Neth FM"},
    {"sirasa", "Sirasa FM", Mms, "G2", 0, "/SirasaFM", "Sirasa FM"},
    {"sns", "Sinhala National Service", Http, "sns", 0, "/live/", "SNS"},
    {"comservice", "Commercial Service", Http, "comservice", 0, "/live/", "Sinhala Commercial Service"},
    {"yfm", "Y FM", Mms, "G2", 0, "/YFM", "Y FM"},
    {"efm", "e FM", Http, "efm", 0, "", "e FM"},
    {"lite", "Lite FM", Http, "lite", 0, "/live", "Lite FM"},
    {"yes", "Yes FM", Mms, "G2", 0, "/yesFM", "Yes FM"},
    {"tnl", "TNL Rocks", Http, "tnl", 0, "/live", "TNL Rocks"},
    {"tns", "Tamil National", Http, "G3", 0, "/cityfm_tamil/", "Tamil National"},
    {"shakthi", "Shakthi FM", Mms, "G2", 0, "/ShakthiFM", "Shakthi FM"},
    {"sinhalaya", "Sinhalaya Radio", Http, "sinhalaya", 0, "/radio.asx", ""},
    {"miyurusara", "Miyurusara", Http, "miyurusara", 9000, "", "Miyurusara Radio"},
    {"j9", "J9 Radio", Http, "j9", 8000, "/J9_RadioF", "J9 Radio"},
    {"kirula", "Kirula Radio", Http, "kirula", 0, "/kirula.asx", "Kirula Radio"},
    {"prabhavi", "Prabhavi Radio", Http, "prabhavi", 0, "/listen_.asx", "Prabhavi Radio"},
    {"minsara", "Minsara Radio", Http, "minsara", 0, "/radio/radio.asx", "Minsara Radio"},
    {"nilwala", "Nilwala Radio", Http, "nilwala", 8704, "", "Nilwala Radio"},
    {"threesinhala", "3Sinhala Radio", Http, "threesinhala", 0, "/stream/84/listen.asx",
     "3Sinhala Web Radio"},
    {"ravsfm", "Rav's FM", Mms, "ravsfm", 0, "/Rav's_FM", "Rav's FM"},
    {"ahamu", "Ahamu Radio", Http, "ahamu", 0, "/ahamu.asx", "Ahamu"},
    {"lbclassical", "Classical", Http, "G1", 0, "/classic_channel_auto.asx", "Classical Channel"},
    {"lbcon", "Contemporary", Http, "G1", 0, "/contemp_channel_auto.asx", "Contemporary Channel"},
    {"lbnonstop", "Non-stop/Baila", Http, "G1", 0, "/nonstop_channel_auto.asx", "Non-stop / Baila Channel"},
    {"lbdj", "   DJ / Remix", Http, "G1", 0, "/remix_channel_auto.asx", "DJ / Remix Channel"},
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
             nowPlaying});
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
