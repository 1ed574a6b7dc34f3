#pragma once

#include "vlc_media_player.h"

#include <QMetaObject>

#include <mutex>

namespace tarvoni::vlc {

// Hands libVLC's notifications, which arrive on libVLC's own threads, to the UI thread as
// queued calls. Once the player is gone, nothing more is handed over.
class EventRelay {
public:
    explicit EventRelay(VlcMediaPlayer *target)
        : m_target(target)
    {
    }

    void detach()
    {
        std::lock_guard lock(m_mutex);
        m_target = nullptr;
    }

    template <typename F>
    void post(F call)
    {
        std::lock_guard lock(m_mutex);
        if (VlcMediaPlayer *target = m_target)
            QMetaObject::invokeMethod(
                target, [target, call = std::move(call)] { call(target); }, Qt::QueuedConnection);
    }

private:
    std::mutex m_mutex;
    VlcMediaPlayer *m_target;
};

} // namespace tarvoni::vlc
