#include "window_media_controls.h"

#include "player/media_player.h"
#include "player/station_catalogue.h"
#include "window/form1.h"
#include "window/station_button.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>

namespace tarvoni {

WindowMediaControls::WindowMediaControls(Form1 &form, QObject *parent)
    : DesktopPlayer(parent)
    , m_form(form)
{
    // Connected after the window's own handlers, so the window has changed when this runs.
    const auto &buttons = m_form.stationButtons();
    for (int i = 0; i < int(buttons.size()); ++i) {
        connect(buttons[size_t(i)], &QAbstractButton::clicked, this, [this, i] {
            m_current = i;
            emit changed();
        });
    }
    connect(m_form.play, &QPushButton::clicked, this, &DesktopPlayer::changed);
    connect(m_form.stop, &QPushButton::clicked, this, &DesktopPlayer::changed);
    connect(m_form.vol, &QScrollBar::valueChanged, this, &DesktopPlayer::changed);
    if (m_form.wm)
        connect(m_form.wm, &MediaPlayer::statusChanged, this, &DesktopPlayer::changed);
}

bool WindowMediaControls::isPlaying() const
{
    // The stop button shows, and the player has not given up.
    return m_form.play->isHidden() && m_form.wm && m_form.wm->isActive();
}

NowPlaying WindowMediaControls::nowPlaying() const
{
    if (m_current < 0)
        return {};
    const Station &station = StationCatalogue::builtIn().stations()[size_t(m_current)];
    return {station.controlName, m_form.lblstation->text(), m_form.wm ? m_form.wm->streamTitle() : QString(),
            station.logo};
}

int WindowMediaControls::volume() const
{
    return m_form.vol->value();
}

void WindowMediaControls::play()
{
    m_form.play->click();
}

void WindowMediaControls::stop()
{
    m_form.stop->click();
}

void WindowMediaControls::selectStation(int step)
{
    const int count = int(m_form.stationButtons().size());
    if (count == 0)
        return;
    const int next = m_current < 0 ? (step > 0 ? 0 : count - 1)
                                   : ((m_current + step) % count + count) % count;
    m_form.stationButtons()[size_t(next)]->click();
}

void WindowMediaControls::setVolume(int value)
{
    m_form.vol->setValue(value);
}

void WindowMediaControls::raise()
{
    // The tray icon's left click, through the window's message handling.
    m_form.windowSystem().sendMessage(m_form.hWnd(), TRAY_CALLBACK_MESSAGE, 0, WM_LBUTTONUP);
}

void WindowMediaControls::quit()
{
    m_form.mnuTrayClose->trigger();
}

void WindowMediaControls::reconnect()
{
    if (m_form.wm)
        m_form.wm->setUrl(m_form.wm->url());
}

void WindowMediaControls::reconnectNowIfWaiting()
{
    if (m_form.wm)
        m_form.wm->reconnectNowIfWaiting();
}

} // namespace tarvoni
