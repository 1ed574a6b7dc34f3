#pragma once

#include <QStringList>

namespace tarvoni {

// Lines that Qt and its web engine write on every start about choices the panes make on
// purpose. They say nothing the user could act on, so they are kept off stderr; every other
// message goes where it went before.
namespace KnownEngineMessage {
// The program draws without the GL stack, so Qt's shared GL context cannot be made...
inline constexpr char noGlContext[] =
    "QXcbIntegration: Cannot create platform OpenGL context, neither GLX nor EGL are enabled";
// ...and the engine finds no GL to draw with either.
inline constexpr char noGlBackend[] = "No suitable graphics backend found";
// Said when the panes turned the sandbox off, which they report in their own words.
inline constexpr char noSandbox[] = "Sandboxing disabled by user.";
} // namespace KnownEngineMessage

// Keeps exactly these warnings and notes of Qt's default category off the output from now on.
// Call before the application is created, while the program has one thread.
void hideKnownEngineMessages(const QStringList &messages);

} // namespace tarvoni
