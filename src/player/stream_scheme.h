#pragma once

#include <QString>

namespace tarvoni {

// Whether the media engine may open `address`. Only network stream schemes pass: http, https,
// mms, mmsh, mmst, and icyx (the player's own spelling of http for the client that asks for
// stream titles). Everything else a server could slip into a playlist or a redirect (local
// files, descriptors, capture devices, UDP listeners, file shares, the engine's own commands)
// and anything that is no absolute address is refused. Case does not matter; nothing may
// come before the scheme.
bool isStreamAddress(const QString &address);

// The scheme of `address` as the status line names it, lower-case with its colon ("file:");
// empty when the address does not start with one.
QString addressScheme(const QString &address);

} // namespace tarvoni
