#include "stream/relay_report.h"

#include <cstdlib>

namespace tarvoni::stream {

namespace {

// A hostile stream could list any number of addresses; the first few tell the story.
constexpr qsizetype kMostRefused = 8;

} // namespace

void RelayReport::setTitle(const QString &title)
{
    std::lock_guard lock(m_mutex);
    m_reading.title = title;
    ++m_reading.titleCount;
}

void RelayReport::setSegmented(std::chrono::milliseconds targetDuration, int variantKbps)
{
    std::lock_guard lock(m_mutex);
    m_reading.segmentDuration = targetDuration;
    m_reading.variantKbps = variantKbps;
}

void RelayReport::addRefused(const QString &address)
{
    std::lock_guard lock(m_mutex);
    if (m_reading.refused.size() < kMostRefused && !m_reading.refused.contains(address))
        m_reading.refused << address;
}

RelayReport::Reading RelayReport::read() const
{
    std::lock_guard lock(m_mutex);
    return m_reading;
}

int ReportChannels::add(const std::shared_ptr<RelayReport> &report)
{
    std::lock_guard lock(m_mutex);
    for (auto it = m_reports.begin(); it != m_reports.end();)
        it = it->second.expired() ? m_reports.erase(it) : std::next(it);
    const int channel = ++m_last;
    m_reports.emplace(channel, report);
    return channel;
}

std::shared_ptr<RelayReport> ReportChannels::find(const std::string &route)
{
    const int channel = std::atoi(route.c_str() + 1);
    std::lock_guard lock(m_mutex);
    const auto it = m_reports.find(channel);
    return it == m_reports.end() ? nullptr : it->second.lock();
}

} // namespace tarvoni::stream
