#include "playlist/asx_playlist.h"

#include "playlist/playlist_entry_list.h"

#include <QRegularExpression>

namespace tarvoni::playlist {

namespace {

QString decodeXmlEntities(QString text)
{
    text.replace(QLatin1String("&lt;"), QLatin1String("<"));
    text.replace(QLatin1String("&gt;"), QLatin1String(">"));
    text.replace(QLatin1String("&quot;"), QLatin1String("\""));
    text.replace(QLatin1String("&apos;"), QLatin1String("'"));
    text.replace(QLatin1String("&amp;"), QLatin1String("&"));
    return text;
}

} // namespace

QStringList asxEntries(const QString &text, const QString &base)
{
    static const QRegularExpression kRef(QStringLiteral(R"re(<ref\s+href\s*=\s*(?:"([^"]*)"|'([^']*)'))re"),
                                         QRegularExpression::CaseInsensitiveOption);
    PlaylistEntryList list(base);
    for (auto it = kRef.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const QString href = match.capturedLength(1) > 0 ? match.captured(1) : match.captured(2);
        if (!list.add(decodeXmlEntities(href)))
            break;
    }
    return list.entries();
}

} // namespace tarvoni::playlist
