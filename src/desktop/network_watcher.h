#pragma once

#include <QObject>
#include <QTimer>

#include <cstddef>

class QSocketNotifier;

namespace tarvoni {

// Tells when the network may have come back: a link came up, or an address or a route was
// added, as the kernel announces them over rtnetlink. A burst of such announcements (a link,
// then its addresses and routes) is told once, a moment after it began. Read on the thread that
// made the watcher, without a thread of its own. Nothing is told where there is no rtnetlink.
//
// Qt's QNetworkInformation would serve too, but its Linux backend (in Qt 6.4) asks
// NetworkManager on the system bus, which many desktops and machines do not run.
class NetworkWatcher final : public QObject {
    Q_OBJECT

public:
    explicit NetworkWatcher(QObject *parent = nullptr);
    ~NetworkWatcher() override;

signals:
    void networkMayBeBack();

private:
    void readAnnouncements();

    int m_socket = -1;
    QSocketNotifier *m_notifier = nullptr;
    QTimer m_settle; // from the first announcement of a burst to the signal
};

// Whether the rtnetlink messages in `data` (as one read from the socket gives them, aligned as
// an nlmsghdr) tell of a link that came up and runs, or of an address (one that is no longer
// being checked for duplicates) or a route added. Reads nothing outside `size` bytes: the first
// malformed or truncated message ends the reading.
bool announcesNetworkMayBeBack(const void *data, std::size_t size);

} // namespace tarvoni
