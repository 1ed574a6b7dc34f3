#pragma once

#include <QString>
#include <functional>

namespace tarvoni {

// What the window does when the now-playing text changes: the tray tip follows the station,
// and the hint and the play button go away (uncovering stop).
struct NowPlayingReactions {
    static inline const QString kTipSuffix = QStringLiteral(" - Tarvoni Radio Player");

    std::function<QString()> stationText;
    std::function<void(const QString &)> setTrayTip;
    std::function<void(bool)> setHintVisible;
    std::function<void(bool)> setPlayVisible;

    void nowPlayingChanged() const;
};

} // namespace tarvoni
