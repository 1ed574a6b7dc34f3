#pragma once

#include "player/stream_hosts.h"

#include <QStringList>
#include <functional>

namespace tarvoni {

class Form1;

// What the program is started with. The program itself always uses the defaults; test
// harnesses point it at loopback servers and watch the window.
struct ProgramSetup {
    StreamHosts hosts = StreamHosts::builtIn();
    QStringList engineArgs;             // passed to the media engine as they are
    std::function<void(Form1 &)> shown; // runs once, right after the window is first shown
};

// Starts the program: creates the application and the main window, runs until it ends.
int runApplication(int argc, char *argv[], const ProgramSetup &setup = {});

} // namespace tarvoni
