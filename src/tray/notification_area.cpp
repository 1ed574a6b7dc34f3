#include "notification_area.h"

#include <cstring>

namespace tarvoni {

QString trayTipText(const TrayIconRecord &record)
{
    const void *nul = std::memchr(record.szTip, '\0', sizeof record.szTip);
    const qsizetype length = nul ? static_cast<const char *>(nul) - record.szTip
                                 : qsizetype(sizeof record.szTip);
    return QString::fromLatin1(record.szTip, length);
}

} // namespace tarvoni
