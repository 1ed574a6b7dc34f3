#pragma once

#include "station.h"
#include "stream_hosts.h"

#include <QStringView>
#include <span>
#include <string_view>
#include <vector>

namespace tarvoni {

enum class StreamScheme { Http, Mms };

// A station as the program defines it, before a host is chosen for it.
struct StationRow {
    std::string_view controlName;
    std::string_view caption;
    StreamScheme scheme;
    std::string_view hostKey;    // the row's own control name, or its host group
    int port;                    // 0: the scheme's default port, not written in the address
    std::string_view path;       // empty: the address ends after the host or port
    std::string_view nowPlaying; // empty: "<Sinhalaya domain> Radio"
    std::string_view logo;       // the picture's file in assets/logos/
};

// scheme "://" host [":" port] [path], the path exactly as written.
QString buildStreamAddress(StreamScheme scheme, const QString &host, int port, std::string_view path);

// The 29 stations in the order of the station grid, row by row, left to right.
class StationCatalogue {
public:
    explicit StationCatalogue(const StreamHosts &hosts);

    static const StationCatalogue &builtIn();
    static std::span<const StationRow> rows();

    // The station behind a button, or nullptr for a name that is not a station button.
    const Station *find(QStringView controlName) const;
    std::span<const Station> stations() const { return m_stations; }

private:
    std::vector<Station> m_stations;
};

} // namespace tarvoni
