#pragma once

#include <QString>
#include <map>

namespace tarvoni {

// The servers the program talks to: one streaming host per station or per group of stations
// sharing a server ("G1", "G2", "G3"), the domain that names the Sinhalaya station, and the
// ad server. Keyed by a station's control name or its group name.
struct StreamHosts {
    std::map<QString, QString> hostByKey;
    QString sinhalayaDomain;
    QString adServer;

    static const StreamHosts &builtIn();

    // The host for `key`, or an empty string when there is none.
    QString host(const QString &key) const;
};

} // namespace tarvoni
