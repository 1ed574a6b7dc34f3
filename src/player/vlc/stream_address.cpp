#include "stream_address.h"

#include <QUrl>

namespace tarvoni::vlc {

QString engineAddress(const QString &address)
{
    const QString trimmed = address.trimmed();
    const qsizetype colon = trimmed.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return trimmed;
    const QString scheme = trimmed.left(colon).toLower();
    if (scheme == QLatin1String("mms") || scheme == QLatin1String("mmst"))
        return QStringLiteral("mmsh") + trimmed.mid(colon);
    return trimmed;
}

QString displayHost(const QString &address)
{
    const QUrl url(address.trimmed());
    const QString host = url.host();
    return host.isEmpty() ? address.trimmed() : host;
}

} // namespace tarvoni::vlc
