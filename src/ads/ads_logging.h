#pragma once

#include <QLoggingCategory>

namespace tarvoni {

// What the ad panes have to say: "tarvoni.ads".
Q_DECLARE_LOGGING_CATEGORY(lcAds)

} // namespace tarvoni
