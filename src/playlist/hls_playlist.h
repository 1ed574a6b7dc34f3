#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <vector>

namespace tarvoni::playlist {

// An HTTP Live Streaming playlist (RFC 8216) as far as a radio needs it: a master playlist's
// variants, or a media playlist's segments. Addresses are resolved against the playlist's own
// address and not judged here; whoever fetches them decides which may be fetched.
struct HlsPlaylist {
    struct Variant {
        QString address;
        int bandwidth = 0; // bits per second: AVERAGE-BANDWIDTH when given, else BANDWIDTH
    };
    struct Segment {
        qint64 sequence = 0;
        QString address;
        std::chrono::milliseconds duration{0};
        QString map; // the initialisation section it needs (EXT-X-MAP), or empty
        // AES-128: the address of its key, or empty for a segment in the clear; and its
        // initialisation vector, 16 bytes, or empty when it is the sequence number.
        QString key;
        QByteArray iv;
        // Its timestamps start again, unrelated to those of the segment before it
        // (EXT-X-DISCONTINUITY): an advertisement break, an encoder started again.
        bool discontinuity = false;
    };

    bool master = false;
    std::vector<Variant> variants; // in the order listed
    std::chrono::milliseconds targetDuration{0};
    std::vector<Segment> segments; // in order, numbered from EXT-X-MEDIA-SEQUENCE
    bool ended = false;            // EXT-X-ENDLIST: nothing more will be added
    // A segment is encrypted in a way the relay cannot undo: EXT-X-KEY other than NONE and
    // AES-128 with a key's address (and an IV of 16 bytes, when given), or AES-128 before an
    // initialisation section.
    bool encrypted = false;
};

// A playlist never holds more than this many variants or segments; the rest is not read.
constexpr int kMostHlsEntries = 4096;
// A playlist longer than this is not read at all.
constexpr qsizetype kLongestHlsPlaylist = 1024 * 1024;

// Whether `body` is an HLS playlist rather than a plain M3U list of stations: it starts with
// "#EXTM3U" and carries a tag that only HLS defines.
bool isHlsPlaylist(const QByteArray &body);

// Reads an HLS playlist fetched from `base`. A playlist that is neither a master playlist with
// a variant nor a media playlist with a target duration comes back with neither.
HlsPlaylist parseHlsPlaylist(const QByteArray &body, const QString &base);

} // namespace tarvoni::playlist
