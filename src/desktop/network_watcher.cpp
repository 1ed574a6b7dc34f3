#include "network_watcher.h"

#include <QSocketNotifier>

#include <algorithm>
#include <chrono>
#include <climits>

#ifdef __linux__
#include <cerrno>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace tarvoni {

namespace {

// A link coming up is followed within a fraction of a second by its addresses and routes.
constexpr std::chrono::milliseconds kSettle(300);

} // namespace

NetworkWatcher::NetworkWatcher(QObject *parent)
    : QObject(parent)
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettle);
    connect(&m_settle, &QTimer::timeout, this, &NetworkWatcher::networkMayBeBack);
#ifdef __linux__
    m_socket = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE);
    if (m_socket < 0)
        return;
    sockaddr_nl address{};
    address.nl_family = AF_NETLINK;
    address.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV6_IFADDR | RTMGRP_IPV4_ROUTE
        | RTMGRP_IPV6_ROUTE;
    if (::bind(m_socket, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        ::close(m_socket);
        m_socket = -1;
        return;
    }
    m_notifier = new QSocketNotifier(qintptr(m_socket), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &NetworkWatcher::readAnnouncements);
#endif
}

NetworkWatcher::~NetworkWatcher()
{
    delete m_notifier;
#ifdef __linux__
    if (m_socket >= 0)
        ::close(m_socket);
#endif
}

void NetworkWatcher::readAnnouncements()
{
#ifdef __linux__
    alignas(nlmsghdr) char buffer[32768];
    bool mayBeBack = false;
    // A flood of announcements is read a bounded part at a time; the notifier comes back for more.
    for (int reads = 0; reads < 64; ++reads) {
        const ssize_t got = ::recv(m_socket, buffer, sizeof buffer, 0);
        if (got > 0) {
            mayBeBack = announcesNetworkMayBeBack(buffer, std::size_t(got)) || mayBeBack;
        } else if (got < 0 && errno == ENOBUFS) {
            mayBeBack = true; // announcements were lost: any of them may have been the one
        } else if (got < 0 && errno == EINTR) {
            continue;
        } else {
            break;
        }
    }
    if (mayBeBack && !m_settle.isActive())
        m_settle.start();
#endif
}

bool announcesNetworkMayBeBack(const void *data, std::size_t size)
{
#ifdef __linux__
    int left = int(std::min<std::size_t>(size, INT_MAX));
    for (auto *message = static_cast<const nlmsghdr *>(data); NLMSG_OK(message, left);
         message = NLMSG_NEXT(message, left)) {
        const void *payload = NLMSG_DATA(message);
        switch (message->nlmsg_type) {
        case RTM_NEWLINK: {
            if (message->nlmsg_len < NLMSG_LENGTH(sizeof(ifinfomsg)))
                return false;
            const unsigned flags = static_cast<const ifinfomsg *>(payload)->ifi_flags;
            if ((flags & (IFF_UP | IFF_RUNNING)) == (IFF_UP | IFF_RUNNING))
                return true;
            break;
        }
        case RTM_NEWADDR:
            if (message->nlmsg_len < NLMSG_LENGTH(sizeof(ifaddrmsg)))
                return false;
            if (!(static_cast<const ifaddrmsg *>(payload)->ifa_flags & IFA_F_TENTATIVE))
                return true;
            break;
        case RTM_NEWROUTE:
            if (message->nlmsg_len < NLMSG_LENGTH(sizeof(rtmsg)))
                return false;
            if (!(static_cast<const rtmsg *>(payload)->rtm_flags & RTM_F_CLONED))
                return true;
            break;
        default:
            break;
        }
    }
#else
    (void)data;
    (void)size;
#endif
    return false;
}

} // namespace tarvoni
