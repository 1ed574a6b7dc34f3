#include "ads_logging.h"

namespace tarvoni {

Q_LOGGING_CATEGORY(lcAds, "tarvoni.ads")

} // namespace tarvoni
