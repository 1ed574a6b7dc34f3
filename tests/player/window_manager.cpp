#include "window_manager.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QThread>

namespace tarvoni::testing {

namespace {

QString xprop(const QStringList &args)
{
    QProcess process;
    process.start(QStringLiteral("xprop"), args);
    process.waitForFinished();
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

// A window manager that has taken the screen names its check window on the root window, and
// the check window names the manager; a stale name left by one that has gone names nothing.
bool openboxManagesTheScreen()
{
    static const QRegularExpression window(QStringLiteral("window id # (0x[0-9a-f]+)"));
    const QRegularExpressionMatch check = window.match(
        xprop({QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")}));
    return check.hasMatch()
        && xprop({QStringLiteral("-id"), check.captured(1), QStringLiteral("_NET_WM_NAME")})
               .contains(QLatin1String("\"Openbox\""));
}

} // namespace

bool startWindowManager(QProcess &process, QString *error)
{
    process.start(QStringLiteral("openbox"), {});
    if (!process.waitForStarted()) {
        *error = QStringLiteral("openbox is needed for this test");
        return false;
    }
    // Long only for a machine in real trouble.
    const QDeadlineTimer deadline(60000);
    while (!openboxManagesTheScreen()) {
        if (deadline.hasExpired() || process.state() != QProcess::Running) {
            *error = QStringLiteral("openbox did not take over the screen");
            return false;
        }
        QCoreApplication::processEvents();
        QThread::msleep(20);
    }
    return true;
}

} // namespace tarvoni::testing
