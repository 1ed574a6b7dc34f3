#pragma once

#include <QString>

namespace tarvoni {

// One station of the built-in catalogue: the button that plays it, what the button says,
// where the stream lives and what the window shows while it is selected.
struct Station {
    QString controlName;
    QString caption;
    QString streamAddress;
    QString nowPlaying;

    friend bool operator==(const Station &, const Station &) = default;
};

} // namespace tarvoni
