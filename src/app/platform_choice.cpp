#include "platform_choice.h"

#include <QCoreApplication>
#include <QtGlobal>

#include <cstring>

namespace tarvoni {

PlatformEnvironment PlatformEnvironment::current()
{
    return {qgetenv("QT_QPA_PLATFORM"), qgetenv("XDG_SESSION_TYPE"), qgetenv("WAYLAND_DISPLAY"),
            qgetenv("DISPLAY")};
}

QByteArray chosenPlatform(const PlatformEnvironment &environment, int argc, const char *const *argv)
{
    if (!environment.qpaPlatform.isEmpty())
        return {};
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            return {};
    }
    const bool wayland = environment.sessionType == "wayland" || !environment.waylandDisplay.isEmpty();
    if (!wayland || environment.x11Display.isEmpty())
        return {};
    return QByteArrayLiteral("xcb");
}

namespace {

// Runs once the application has taken its platform: the programs this one starts (a browser
// opened from an ad) choose their own.
void forgetChoice()
{
    qunsetenv("QT_QPA_PLATFORM");
}

} // namespace

void choosePlatform(int argc, const char *const *argv)
{
    const QByteArray platform = chosenPlatform(PlatformEnvironment::current(), argc, argv);
    if (platform.isEmpty())
        return;
    qputenv("QT_QPA_PLATFORM", platform);
    qAddPreRoutine(forgetChoice);
}

} // namespace tarvoni
