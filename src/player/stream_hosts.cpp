#include "stream_hosts.h"

namespace tarvoni {

// Every address the program reaches is here. A station that moves to another server is a
// one-line change in this table.
const StreamHosts &StreamHosts::builtIn()
{
    static const StreamHosts hosts{
        {
            {"asura", "stream.asurafm.lk"},
            {"lakhada", "stream.lakhanda.lk"},
            {"rangiri", "stream.rangirifm.lk"},
            {"neth", "stream.nethfm.com"},
            {"sns", "sns.slbcradio.lk"},
            {"comservice", "commercial.slbcradio.lk"},
            {"efm", "stream.efm.lk"},
            {"lite", "stream.litefm.lk"},
            {"tnl", "stream.tnlrocks.com"},
            {"sinhalaya", "radio.sinhalaya.net"},
            {"miyurusara", "stream.miyurusara.lk"},
            {"j9", "stream.j9radio.com"},
            {"kirula", "www.kirularadio.com"},
            {"prabhavi", "www.prabhaviradio.com"},
            {"minsara", "www.minsararadio.com"},
            {"nilwala", "stream.nilwalaradio.com"},
            {"threesinhala", "www.3sinhala.com"},
            {"ravsfm", "media.ravsfm.com"},
            {"ahamu", "www.ahamuradio.com"},
            {"G1", "channels.lankaradio.lk"}, // Classical, Contemporary, Non-stop/Baila, DJ / Remix
            {"G2", "mms.mbcstream.lk"},       // Sirasa, Y FM, Yes FM, Shakthi
            {"G3", "stream.cityfm.lk"},       // City FM, Tamil National
        },
        "Sinhalaya.net",
        "ads.tarvoniradio.com",
    };
    return hosts;
}

QString StreamHosts::host(const QString &key) const
{
    const auto it = hostByKey.find(key);
    return it == hostByKey.end() ? QString() : it->second;
}

} // namespace tarvoni
