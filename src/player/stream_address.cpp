#include "stream_address.h"

#include <QUrl>

namespace tarvoni {

QString engineAddress(const QString &address)
{
    const QString trimmed = address.trimmed();
    const qsizetype colon = trimmed.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return trimmed;
    const QString scheme = trimmed.left(colon).toLower();
    if (scheme == QLatin1String("mms") || scheme == QLatin1String("mmst"))
        return QStringLiteral("mmsh") + trimmed.mid(colon);
    // libVLC's newer HTTP client does not ask for stream titles and only hands over to the
    // one that does when the server's first answer names the stream; Icecast does not always.
    // Going to the title-aware client at once gets the titles and saves a second request.
    if (scheme == QLatin1String("http"))
        return QStringLiteral("icyx") + trimmed.mid(colon);
    return trimmed;
}

QString displayHost(const QString &address)
{
    const QUrl url(address.trimmed());
    const QString host = url.host();
    return host.isEmpty() ? address.trimmed() : host;
}

} // namespace tarvoni
