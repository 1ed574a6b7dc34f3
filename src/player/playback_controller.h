#pragma once

#include "station.h"

#include <QString>

namespace tarvoni {

class MediaPlayer;

struct RgbColour {
    int red;
    int green;
    int blue;

    friend bool operator==(const RgbColour &, const RgbColour &) = default;
};

// The controls of the information panel that playback reads and writes.
class PlaybackView {
public:
    virtual ~PlaybackView() = default;

    virtual QString stationText() const = 0;              // lblstation
    virtual void setStationText(const QString &text) = 0; // raises the now-playing reactions
    virtual void setStatusText(const QString &text) = 0;  // lblkb
    virtual void setHintVisible(bool visible) = 0;        // info1
    virtual void setPlayVisible(bool visible) = 0;        // play, lying over stop
    virtual int volumeValue() const = 0;                  // vol
    virtual void setVolumeText(const QString &text) = 0;  // volval
    virtual void setVolumeColour(const RgbColour &colour) = 0;
};

// The handlers that drive the media player from the window's controls. The player steps of
// selecting, playing and stopping are each attempted even when an earlier one failed: a dead
// station or a refused address never keeps the window from showing what was chosen.
class PlaybackController {
public:
    static constexpr RgbColour kLoudColour{255, 128, 128};
    static constexpr RgbColour kNormalColour{192, 255, 192};
    static constexpr int kLoudAbove = 85;

    PlaybackController(PlaybackView &view, MediaPlayer *player);

    void selectStation(const Station &station);
    void playPressed();
    void stopPressed();
    void volumeChanged();
    void statusRefresh();

private:
    PlaybackView &m_view;
    MediaPlayer *m_player;
};

} // namespace tarvoni
