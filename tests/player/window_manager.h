#pragma once

#include <QProcess>
#include <QString>

namespace tarvoni::testing {

// Starts openbox on the test's display in `process` and returns once it manages the screen,
// so that a window mapped from then on is a managed one; false with `error` when it does not
// come up.
bool startWindowManager(QProcess &process, QString *error);

} // namespace tarvoni::testing
