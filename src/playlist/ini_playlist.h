#pragma once

#include <QString>
#include <QStringList>

namespace tarvoni::playlist {

// The values of the "<key><number>=" lines of a playlist written like an INI file (PLS and
// the "[Reference]" files), at most kMostPlaylistEntries of them, resolved against `base`.
QStringList iniPlaylistEntries(const QString &text, const QString &key, const QString &base);

} // namespace tarvoni::playlist
