#include "assets/artwork.h"

#include <array>

namespace tarvoni {

namespace {

struct LogoFile {
    QStringView controlName;
    QStringView file;
};

constexpr std::array<LogoFile, 29> kLogoFiles{{
    {u"asura", u"asura.gif"},
    {u"city", u"city.gif"},
    {u"lakhada", u"lakhada.gif"},
    {u"rangiri", u"rangiri.jpg"},
    {u"neth", u"neth.gif"},
    {u"sirasa", u"sirasa.gif"},
    {u"sns", u"sns.gif"},
    {u"comservice", u"logo_a.jpg"},
    {u"yfm", u"yfm.gif"},
    {u"efm", u"efm.jpg"},
    {u"lite", u"lite.gif"},
    {u"yes", u"yes.gif"},
    {u"tnl", u"tnl.gif"},
    {u"tns", u"logo_a.jpg"},
    {u"shakthi", u"shakthi.gif"},
    {u"sinhalaya", u"sinhalaya.jpg"},
    {u"miyurusara", u"miyurusara.jpg"},
    {u"j9", u"j9.gif"},
    {u"kirula", u"kirula.jpg"},
    {u"prabhavi", u"prabhavi.jpg"},
    {u"minsara", u"minsara.jpg"},
    {u"nilwala", u"nilwala.gif"},
    {u"threesinhala", u"threesinhala.gif"},
    {u"ravsfm", u"ravsfm.gif"},
    {u"ahamu", u"ahamu.gif"},
    {u"lbclassical", u"logo_b.gif"},
    {u"lbcon", u"logo_b.gif"},
    {u"lbnonstop", u"logo_b.gif"},
    {u"lbdj", u"logo_b.gif"},
}};

} // namespace

QString stationLogoPath(QStringView controlName)
{
    for (const LogoFile &logo : kLogoFiles) {
        if (logo.controlName == controlName) {
            return QLatin1String(":/assets/logos/") + logo.file.toString();
        }
    }
    return {};
}

} // namespace tarvoni
