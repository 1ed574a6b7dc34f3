#pragma once

#include <QString>
#include <QStringList>

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace tarvoni::stream {

// What the relay has learnt of one stream while passing it to the engine, for the player to
// read: the relay's threads write, the player reads on its own thread.
class RelayReport {
public:
    struct Reading {
        QString title;      // the stream's title, decoded; empty when none came
        int titleCount = 0; // how many titles have come: a change even when the text repeats
        // Segments every this long (an HLS stream's target duration); zero for a plain stream.
        std::chrono::milliseconds segmentDuration{0};
        int variantKbps = 0; // the bit rate an HLS master playlist gives its chosen variant
        QStringList refused; // addresses listed by the stream that were not stream addresses
    };

    void setTitle(const QString &title);
    void setSegmented(std::chrono::milliseconds targetDuration, int variantKbps);
    void addRefused(const QString &address);

    Reading read() const;

private:
    mutable std::mutex m_mutex;
    Reading m_reading;
};

// The reports of the http streams being relayed, by channel number. The relay keeps them only
// while their players do.
class ReportChannels {
public:
    // The new channel's number.
    int add(const std::shared_ptr<RelayReport> &report);
    // The report for a route ("h<channel>" or "s<channel>"), if it is still kept.
    std::shared_ptr<RelayReport> find(const std::string &route);

private:
    std::mutex m_mutex;
    int m_last = 0;
    std::map<int, std::weak_ptr<RelayReport>> m_reports;
};

} // namespace tarvoni::stream
