#pragma once

#include <QString>
#include <QStringList>

namespace tarvoni::playlist {

// The addresses of an ASX playlist's <ref href="..."> elements, in order, at most
// kMostPlaylistEntries of them; relative ones resolved against `base`.
QStringList asxEntries(const QString &text, const QString &base);

} // namespace tarvoni::playlist
