#pragma once

#include <QString>

namespace tarvoni::testing {

// Why this process may not change its network, or empty when it may: only in the namespace of
// its own that tests/in_private_network.sh made, never in the machine's.
QString whyNoPrivateNetwork();

// Every TCP packet to ::1 silently dropped, as a home router or a VPN drops an IPv6 that leads
// nowhere, while IPv4 works: a station at "dual-stack.test" (::1 and 127.0.0.1 in the private
// network's hosts file) then answers on IPv4 alone. Removed again when this goes.
class BrokenIpv6 {
public:
    BrokenIpv6() = default;
    BrokenIpv6(const BrokenIpv6 &) = delete;
    BrokenIpv6 &operator=(const BrokenIpv6 &) = delete;
    ~BrokenIpv6();

    bool start(QString *error);
    // The packets dropped so far: proof that IPv6 was tried.
    qint64 droppedPackets() const;

private:
    bool m_started = false;
};

} // namespace tarvoni::testing
