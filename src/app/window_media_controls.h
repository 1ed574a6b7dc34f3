#pragma once

#include "desktop/desktop_player.h"

namespace tarvoni {

class Form1;

// The window as the desktop's services see it. Requests click the window's own controls, so
// they run exactly the handlers a user's click runs.
class WindowMediaControls final : public DesktopPlayer {
    Q_OBJECT

public:
    explicit WindowMediaControls(Form1 &form, QObject *parent = nullptr);

    bool isPlaying() const override;
    NowPlaying nowPlaying() const override;
    int volume() const override;

    void play() override;
    void stop() override;
    void selectStation(int step) override;
    void setVolume(int value) override;
    void raise() override;
    void quit() override;
    void reconnect() override;
    void reconnectNowIfWaiting() override;

private:
    Form1 &m_form;
    int m_current = -1; // the station button clicked last, in grid order
};

} // namespace tarvoni
