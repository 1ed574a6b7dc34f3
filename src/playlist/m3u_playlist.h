#pragma once

#include <QString>
#include <QStringList>

namespace tarvoni::playlist {

// The addresses of an M3U playlist, with or without its "#EXTM3U" header, at most
// kMostPlaylistEntries of them; relative ones resolved against `base`. Every line is a comment
// or an address, so text with any other line is no playlist: empty then.
QStringList m3uEntries(const QString &text, const QString &base);

} // namespace tarvoni::playlist
