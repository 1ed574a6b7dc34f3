#pragma once

#include <QString>

namespace tarvoni {

// When the now-playing text changes the tray tip follows the station, and the hint and the
// play button go away (uncovering stop); the window does that on lblstation's change.

// The tray tip while `nowPlaying` is the now-playing text.
QString nowPlayingTrayTip(const QString &nowPlaying);

} // namespace tarvoni
