#include "stream_scheme.h"

#include <array>

namespace tarvoni {

namespace {

constexpr qsizetype kLongestScheme = 16;

// The length of the scheme at the start of `address` (RFC 3986: a letter, then letters,
// digits, "+", "-" or "."), or 0 when it does not start with one followed by ':'.
qsizetype schemeLength(const QString &address)
{
    qsizetype i = 0;
    for (; i < address.size() && i <= kLongestScheme; ++i) {
        const QChar c = address.at(i);
        const bool letter = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
        const bool other = (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.';
        if (!letter && !(i > 0 && other))
            break;
    }
    return i > 0 && i < address.size() && address.at(i) == u':' ? i : 0;
}

} // namespace

bool isStreamAddress(const QString &address)
{
    static constexpr std::array kAllowed{u"http", u"https", u"mms", u"mmsh", u"mmst", u"icyx"};
    const qsizetype length = schemeLength(address);
    if (length == 0)
        return false;
    const QString scheme = address.left(length).toLower();
    bool allowed = false;
    for (const char16_t *name : kAllowed)
        allowed = allowed || scheme == QStringView(name);
    if (!allowed)
        return false;
    // "scheme://host...": a host must follow, and nothing in the address may be a control
    // character or a blank, which the engine would read as the end of the address.
    const QStringView rest = QStringView(address).mid(length + 1);
    if (!rest.startsWith(u"//") || rest.size() < 3 || rest.at(2) == u'/')
        return false;
    for (const QChar c : rest) {
        if (c.unicode() <= 0x20 || c.unicode() == 0x7f)
            return false;
    }
    return true;
}

QString addressScheme(const QString &address)
{
    const qsizetype length = schemeLength(address);
    return length == 0 ? QString() : address.left(length).toLower() + u':';
}

} // namespace tarvoni
