#pragma once

#include <vlc/vlc.h>

#include <memory>

namespace tarvoni::vlc {

// Owning handles for libVLC objects: each releases its one reference when it goes away.
struct InstanceRelease {
    void operator()(libvlc_instance_t *p) const { libvlc_release(p); }
};
struct MediaRelease {
    void operator()(libvlc_media_t *p) const { libvlc_media_release(p); }
};
struct MediaPlayerRelease {
    void operator()(libvlc_media_player_t *p) const { libvlc_media_player_release(p); }
};
struct MediaListRelease {
    void operator()(libvlc_media_list_t *p) const { libvlc_media_list_release(p); }
};

using MediaHandle = std::unique_ptr<libvlc_media_t, MediaRelease>;
using MediaPlayerHandle = std::unique_ptr<libvlc_media_player_t, MediaPlayerRelease>;
using MediaListHandle = std::unique_ptr<libvlc_media_list_t, MediaListRelease>;

// A shared engine instance: copies hold their own reference.
class Instance {
public:
    Instance() = default;
    // Takes over the reference returned by libvlc_new().
    explicit Instance(libvlc_instance_t *adopted)
        : m_handle(adopted)
    {
    }
    Instance(const Instance &other)
        : m_handle(other.m_handle ? retained(other.get()) : nullptr)
    {
    }
    Instance &operator=(const Instance &other)
    {
        if (this != &other)
            m_handle.reset(other.m_handle ? retained(other.get()) : nullptr);
        return *this;
    }
    Instance(Instance &&) noexcept = default;
    Instance &operator=(Instance &&) noexcept = default;

    libvlc_instance_t *get() const { return m_handle.get(); }
    explicit operator bool() const { return bool(m_handle); }

private:
    static libvlc_instance_t *retained(libvlc_instance_t *p)
    {
        libvlc_retain(p);
        return p;
    }

    std::unique_ptr<libvlc_instance_t, InstanceRelease> m_handle;
};

} // namespace tarvoni::vlc
