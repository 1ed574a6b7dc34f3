#pragma once

#include "player/media_player.h"
#include "vlc/vlc_media_player.h"

#include <QStringList>

namespace tarvoni::testing {

// Every status text the player showed, in order, each stamped with whether the first audio
// had been decoded by then.
class StatusLog : public QObject {
    Q_OBJECT

public:
    explicit StatusLog(MediaPlayer *player);

    QStringList texts;
    QList<bool> audioDecoded;
    int audioStarts = 0;

    bool contains(const QString &part) const;
    void clear();

private:
    MediaPlayer *m_player;
};

// Test timings: short enough for a test run, long enough for a loaded machine.
vlc::VlcPlayerOptions testOptions();

} // namespace tarvoni::testing
