#include "assets/artwork.h"

namespace tarvoni {

QString logoPicturePath(QStringView logoFile)
{
    return QLatin1String(":/assets/logos/") + logoFile.toString();
}

} // namespace tarvoni
