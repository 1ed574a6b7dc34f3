#include "playlist/hls_playlist.h"

#include <QList>
#include <QUrl>

#include <cmath>

namespace tarvoni::playlist {

namespace {

using std::chrono::milliseconds;

// A tag's attribute list (RFC 8216, 4.2): NAME=value pairs separated by commas, where a quoted
// value may itself hold commas. The value of `name`, without its quotes, or a null array.
QByteArray attribute(const QByteArray &list, const QByteArray &name)
{
    qsizetype at = 0;
    while (at < list.size()) {
        const qsizetype equals = list.indexOf('=', at);
        if (equals < 0)
            return {};
        const QByteArray key = list.mid(at, equals - at).trimmed();
        qsizetype valueEnd;
        QByteArray value;
        if (equals + 1 < list.size() && list[equals + 1] == '"') {
            const qsizetype close = list.indexOf('"', equals + 2);
            valueEnd = close < 0 ? list.size() : close + 1;
            value = list.mid(equals + 2, (close < 0 ? list.size() : close) - equals - 2);
        } else {
            const qsizetype comma = list.indexOf(',', equals + 1);
            valueEnd = comma < 0 ? list.size() : comma;
            value = list.mid(equals + 1, valueEnd - equals - 1).trimmed();
        }
        if (key == name)
            return value.isNull() ? QByteArray("") : value;
        const qsizetype comma = list.indexOf(',', valueEnd);
        if (comma < 0)
            return {};
        at = comma + 1;
    }
    return {};
}

// Seconds as in "#EXTINF:1.996,", "#EXT-X-TARGETDURATION:2": out of range and nonsense give 0.
milliseconds seconds(const QByteArray &text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !(value > 0) || value > 24 * 3600)
        return milliseconds(0);
    return milliseconds(std::llround(value * 1000));
}

int bitsPerSecond(const QByteArray &text)
{
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    return ok && value > 0 && value < (qint64(1) << 31) ? int(value) : 0;
}

// An IV attribute: "0x" and 32 hexadecimal digits. An empty array for anything else.
QByteArray initialisationVector(const QByteArray &text)
{
    if (text.size() != 34 || !(text.startsWith("0x") || text.startsWith("0X")))
        return {};
    for (const char c : text.mid(2)) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')))
            return {};
    }
    return QByteArray::fromHex(text.mid(2));
}

QString resolved(const QString &base, const QByteArray &reference)
{
    const QUrl url = QUrl(base).resolved(QUrl(QString::fromUtf8(reference.trimmed())));
    return url.toString(QUrl::FullyEncoded);
}

} // namespace

bool isHlsPlaylist(const QByteArray &body)
{
    qsizetype at = 0;
    if (body.startsWith("\xef\xbb\xbf"))
        at = 3;
    if (!body.mid(at, 7).startsWith("#EXTM3U"))
        return false;
    return body.contains("#EXT-X-TARGETDURATION") || body.contains("#EXT-X-STREAM-INF");
}

HlsPlaylist parseHlsPlaylist(const QByteArray &body, const QString &base)
{
    HlsPlaylist playlist;
    if (body.size() > kLongestHlsPlaylist || !isHlsPlaylist(body))
        return playlist;

    qint64 sequence = 0;
    milliseconds nextDuration{0};
    QString map;
    QString key;
    QByteArray iv;
    bool discontinuity = false;
    bool variantPending = false;
    int variantBandwidth = 0;
    const QList<QByteArray> lines = (body.startsWith("\xef\xbb\xbf") ? body.mid(3) : body).split('\n');
    for (const QByteArray &raw : lines) {
        const QByteArray line = raw.trimmed();
        if (line.isEmpty())
            continue;
        if (!line.startsWith('#')) {
            // An address: of the variant or the segment its tags described.
            if (variantPending) {
                if (int(playlist.variants.size()) < kMostHlsEntries)
                    playlist.variants.push_back({resolved(base, line), variantBandwidth});
                variantPending = false;
            } else if (!playlist.master && int(playlist.segments.size()) < kMostHlsEntries) {
                playlist.segments.push_back(
                    {sequence, resolved(base, line), nextDuration, map, key, iv, discontinuity});
            }
            ++sequence;
            nextDuration = milliseconds(0);
            discontinuity = false;
            continue;
        }
        const qsizetype colon = line.indexOf(':');
        const QByteArray tag = colon < 0 ? line : line.left(colon);
        const QByteArray value = colon < 0 ? QByteArray() : line.mid(colon + 1);
        if (tag == "#EXT-X-STREAM-INF") {
            playlist.master = true;
            variantPending = true;
            variantBandwidth = bitsPerSecond(attribute(value, "AVERAGE-BANDWIDTH"));
            if (variantBandwidth == 0)
                variantBandwidth = bitsPerSecond(attribute(value, "BANDWIDTH"));
        } else if (tag == "#EXT-X-TARGETDURATION") {
            playlist.targetDuration = seconds(value);
        } else if (tag == "#EXT-X-MEDIA-SEQUENCE") {
            bool ok = false;
            const qint64 first = value.trimmed().toLongLong(&ok);
            if (ok && first >= 0 && playlist.segments.empty())
                sequence = first;
        } else if (tag == "#EXTINF") {
            nextDuration = seconds(value.left(value.indexOf(',')));
        } else if (tag == "#EXT-X-DISCONTINUITY") {
            discontinuity = true;
        } else if (tag == "#EXT-X-ENDLIST") {
            playlist.ended = true;
        } else if (tag == "#EXT-X-KEY") {
            const QByteArray method = attribute(value, "METHOD");
            const QByteArray uri = attribute(value, "URI");
            const QByteArray ivText = attribute(value, "IV");
            key.clear();
            iv = initialisationVector(ivText);
            if (method == "AES-128" && !uri.trimmed().isEmpty() && (ivText.isNull() || !iv.isEmpty()))
                key = resolved(base, uri);
            else if (!method.isEmpty() && method != "NONE")
                playlist.encrypted = true;
        } else if (tag == "#EXT-X-MAP") {
            // An initialisation section under a key would need decrypting too.
            if (!key.isEmpty())
                playlist.encrypted = true;
            const QByteArray uri = attribute(value, "URI");
            map = uri.isEmpty() ? QString() : resolved(base, uri);
        }
    }
    if (playlist.master) {
        playlist.segments.clear();
        playlist.targetDuration = milliseconds(0);
    } else if (playlist.targetDuration.count() == 0) {
        playlist.segments.clear();
    }
    return playlist;
}

} // namespace tarvoni::playlist
