#pragma once

#include <QObject>
#include <QString>

namespace tarvoni {

// The window's media player `wm`: what the playback controller needs of it and nothing more.
// Every member is called on the UI thread and returns at once; none waits on the network, and
// none fails: what goes wrong shows in the status.
class MediaPlayer : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // The stream address. Setting it switches to that address and starts playing it.
    virtual void setUrl(const QString &url) = 0;
    virtual QString url() const = 0;

    // controls.play / controls.stop
    virtual void play() = 0;
    virtual void stop() = 0;

    // settings.volume, 0 to 100
    virtual void setVolume(int volume) = 0;
    virtual int volume() const = 0;

    // A short, plain-text account of what the player is doing, for the status line.
    virtual QString status() const = 0;

    // The title the stream itself gives for what it plays now, plain text; empty when none.
    virtual QString streamTitle() const { return {}; }
    // Whether the player is playing or still trying to (connecting, reconnecting); false once
    // stopped or given up. Both change only together with the status text.
    virtual bool isActive() const { return false; }
    // The network may have come back: a station waiting to reconnect tries at once instead of
    // waiting out its back-off; one in the middle of an attempt tries again at once should that
    // attempt fail. Anything else (playing, connecting, stopped) goes on as it is.
    virtual void reconnectNowIfWaiting() {}

signals:
    // The status text has changed; `state` is informative only, listeners re-read status().
    void statusChanged(int state);
};

} // namespace tarvoni
