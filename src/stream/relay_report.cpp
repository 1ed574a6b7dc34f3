#include "stream/relay_report.h"

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

} // namespace tarvoni::stream
