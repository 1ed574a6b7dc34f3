#pragma once

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>

namespace tarvoni::fuzz {

// The address the fuzzed playlists are read against, as a station's playlist would be.
QString playlistBase();

// The fuzz input as the text of a playlist.
QString playlistText(const uint8_t *data, size_t size);

// What every playlist reader promises: no more than a session tries, each an absolute address.
void checkEntries(const QStringList &entries);

} // namespace tarvoni::fuzz
