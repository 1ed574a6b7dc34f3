#pragma once

#include "player/media_player.h"

#include <QStringList>
#include <functional>

namespace tarvoni::test {

// A media player that writes down what it is asked, in order. `observe` runs on each call, so
// a test can look at the window at that moment.
class FakeMediaPlayer final : public MediaPlayer {
public:
    void setUrl(const QString &address) override
    {
        record(QStringLiteral("url ") + address);
        m_url = address;
    }
    QString url() const override { return m_url; }
    void play() override { record(QStringLiteral("play")); }
    void stop() override { record(QStringLiteral("stop")); }
    void setVolume(int volume) override
    {
        record(QStringLiteral("volume %1").arg(volume));
        m_volume = volume;
    }
    int volume() const override { return m_volume; }
    QString status() const override { return statusText; }
    QString streamTitle() const override { return title; }
    bool isActive() const override { return active; }

    void announce(const QString &text)
    {
        statusText = text;
        emit statusChanged(3);
    }

    QStringList calls;
    QString statusText;
    QString title;
    bool active = false;
    std::function<void(const QString &)> observe;

private:
    void record(const QString &call)
    {
        calls.append(call);
        if (observe)
            observe(call);
    }

    QString m_url;
    int m_volume = 50;
};

} // namespace tarvoni::test
