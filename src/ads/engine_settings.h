#pragma once

namespace tarvoni {

// Before the QApplication is created: the engine's attributes, its Chromium switches, the
// software drawing of the panes, and the sandbox switch the engine needs when the program runs
// as root. The environment variables among them are for the engine alone.
void prepareEngineSettings();

// Once the engine has read its settings (with its first page): the environment goes back to
// what it was, for the programs started from here.
void forgetEngineSettings();

} // namespace tarvoni
