#pragma once

#include <QObject>
#include <QString>

namespace tarvoni {

// What the station chosen last is and what it plays.
struct NowPlaying {
    QString stationName;  // the station button's control name; empty before the first choice
    QString stationText;  // the now-playing text the window shows
    QString streamTitle;  // what the stream itself says it plays; often empty
    QString logoFileName; // the station's logo file ("sirasa.gif"); empty when it has none
};

// The player as the desktop's services see it. Every request does what the matching control
// of the window does, through the same handler.
class DesktopPlayer : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // A station plays, or is being connected to.
    virtual bool isPlaying() const = 0;
    virtual NowPlaying nowPlaying() const = 0;
    // The volume bar, 0 to 100.
    virtual int volume() const = 0;

    virtual void play() = 0;
    virtual void stop() = 0;
    // The station `step` places on in the grid (1 next, -1 previous), going round at the ends.
    virtual void selectStation(int step) = 0;
    virtual void setVolume(int value) = 0;
    // Brings the window back, out of the tray if it is hidden there.
    virtual void raise() = 0;
    // Ends the program as closing its window does.
    virtual void quit() = 0;
    // The station playing connects afresh at once.
    virtual void reconnect() = 0;
    // A station waiting to reconnect tries at once; one that plays goes on undisturbed.
    virtual void reconnectNowIfWaiting() = 0;

signals:
    // Anything above may have changed; listeners read again what they show.
    void changed();
};

} // namespace tarvoni
