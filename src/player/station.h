#pragma once

#include <QString>

namespace tarvoni {

// One station of the built-in catalogue: the button that plays it, what the button says,
// where the stream lives, what the window shows while it is selected, and its logo.
struct Station {
    QString controlName;
    QString caption;
    QString streamAddress;
    QString nowPlaying;
    QString logo; // the picture's file in assets/logos/ ("sirasa.gif"); several stations share one

    friend bool operator==(const Station &, const Station &) = default;
};

} // namespace tarvoni
