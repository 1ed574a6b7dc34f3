#pragma once

#include <QString>
#include <QStringList>

namespace tarvoni::playlist {

// The addresses of a PLS playlist's "FileN=" lines, in the order they stand, at most
// kMostPlaylistEntries of them; relative ones resolved against `base`.
QStringList plsEntries(const QString &text, const QString &base);

} // namespace tarvoni::playlist
