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
    // Long only for a machine in real trouble.
    const QDeadlineTimer deadline(60000);
    QByteArray said;
    // An openbox that gave up at its start (it says why) is started once more.
    for (int start = 0; start < 3 && !deadline.hasExpired(); ++start) {
        process.start(QStringLiteral("openbox"), {});
        if (!process.waitForStarted()) {
            *error = QStringLiteral("openbox is needed for this test");
            return false;
        }
        while (process.state() == QProcess::Running && !deadline.hasExpired()) {
            if (openboxManagesTheScreen())
                return true;
            QCoreApplication::processEvents();
            QThread::msleep(20);
        }
        process.waitForFinished(1000);
        said += process.readAllStandardError();
    }
    *error = QStringLiteral("openbox did not take over the screen: ") + QString::fromLocal8Bit(said);
    return false;
}

} // namespace tarvoni::testing
