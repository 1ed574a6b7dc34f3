#include "now_playing_reactions.h"

namespace tarvoni {

QString nowPlayingTrayTip(const QString &nowPlaying)
{
    return nowPlaying + QStringLiteral(" - Tarvoni Radio Player");
}

} // namespace tarvoni
