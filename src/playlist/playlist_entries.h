#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace tarvoni::playlist {

// The addresses a playlist file lists, recognised by its content (ASX, PLS, M3U, and the
// "[Reference]" files of Windows Media servers), at most kMostPlaylistEntries of them;
// relative entries resolved against `base`. Empty when `body` is no playlist.
QStringList playlistEntries(const QByteArray &body, const QString &base);

} // namespace tarvoni::playlist
