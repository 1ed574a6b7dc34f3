#pragma once

namespace tarvoni {

// Starts the program: creates the application and the main window, runs until it ends.
int runApplication(int argc, char *argv[]);

} // namespace tarvoni
