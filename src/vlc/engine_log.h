#pragma once

// libVLC's log, and the engine arguments that decide how much of it there is.

#include <QByteArray>
#include <QLoggingCategory>
#include <QStringList>

#include <vlc/vlc.h>

#include <cstdarg>
#include <vector>

namespace tarvoni::vlc {

// What the media engine has to say of itself: "tarvoni.vlc". libVLC's own log is apart.
Q_DECLARE_LOGGING_CATEGORY(lcEngine)

// TARVONI_VLC_VERBOSE set: libVLC's log goes to stderr.
bool engineVerbose();
// libVLC's log callback, on whichever libVLC thread logs. Spoils a redirect to anything but a
// stream address before libVLC follows it.
void onEngineLog(void *, int, const libvlc_log_t *context, const char *format, va_list args);
// The engine's arguments, then `extra`.
std::vector<QByteArray> engineArguments(const QStringList &extra);

} // namespace tarvoni::vlc
