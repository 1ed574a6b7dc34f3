#pragma once

#include <QString>
#include <QStringList>

namespace tarvoni::playlist {

// The addresses of a Windows Media server's "[Reference]" file ("RefN=" lines), in the order
// they stand, at most kMostPlaylistEntries of them; relative ones resolved against `base`.
QStringList referenceEntries(const QString &text, const QString &base);

} // namespace tarvoni::playlist
