#include "now_playing_reactions.h"

namespace tarvoni {

void NowPlayingReactions::nowPlayingChanged() const
{
    const QString text = stationText();
    setTrayTip(text + kTipSuffix);
    setHintVisible(false);
    setPlayVisible(false);
}

} // namespace tarvoni
