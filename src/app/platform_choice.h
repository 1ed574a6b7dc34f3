#pragma once

#include <QByteArray>

namespace tarvoni {

// What the choice of the window system's platform depends on.
struct PlatformEnvironment {
    QByteArray qpaPlatform;    // QT_QPA_PLATFORM: a platform the user chose
    QByteArray sessionType;    // XDG_SESSION_TYPE
    QByteArray waylandDisplay; // WAYLAND_DISPLAY
    QByteArray x11Display;     // DISPLAY: set on a Wayland session that runs XWayland

    static PlatformEnvironment current();
};

// The platform the program asks Qt for, or empty to leave it to Qt. On a Wayland session the
// program runs through XWayland ("xcb"), where the window opens at its own place and the window
// manager's minimize reaches the program, so that it can hide into the tray; unless the user
// chose a platform (QT_QPA_PLATFORM, or -platform / --platform on the command line) or there is
// no XWayland to run through.
QByteArray chosenPlatform(const PlatformEnvironment &environment, int argc, const char *const *argv);

// Makes that choice for this process; called before the application object exists. The
// choice is not passed on to the programs this one starts.
void choosePlatform(int argc, const char *const *argv);

} // namespace tarvoni
