#include "private_pulse_server.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>

namespace tarvoni::testing {

PrivatePulseServer::~PrivatePulseServer()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    thaw();
    m_process.terminate();
    if (!m_process.waitForFinished(3000))
        m_process.kill();
    m_process.waitForFinished(3000);
}

bool PrivatePulseServer::start(QString *error)
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
    if (program.isEmpty()) {
        *error = QStringLiteral("pulseaudio is not installed");
        return false;
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), m_dir.path());
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(program,
                    {QStringLiteral("-n"), QStringLiteral("--daemonize=no"),
                     QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--use-pid-file=no"),
                     QStringLiteral("--disable-shm=yes"), QStringLiteral("--log-level=error"),
                     QStringLiteral("-L"),
                     QStringLiteral("module-native-protocol-unix auth-anonymous=1 socket=") + socketPath(),
                     QStringLiteral("-L"), QStringLiteral("module-null-sink sink_name=null")});
    const QDeadlineTimer deadline(10000);
    while (!QFileInfo::exists(socketPath()) && !deadline.hasExpired()
           && m_process.state() != QProcess::NotRunning)
        QThread::msleep(50);
    if (!QFileInfo::exists(socketPath())) {
        *error = QStringLiteral("pulseaudio did not start");
        return false;
    }
    return true;
}

QString PrivatePulseServer::serverAddress() const
{
    return QStringLiteral("unix:") + socketPath();
}

void PrivatePulseServer::freeze()
{
    ::kill(pid_t(m_process.processId()), SIGSTOP);
}

void PrivatePulseServer::thaw()
{
    ::kill(pid_t(m_process.processId()), SIGCONT);
}

int PrivatePulseServer::peakOver(int ms) const
{
    QProcess recorder;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PULSE_SERVER"), serverAddress());
    recorder.setProcessEnvironment(environment);
    recorder.start(QStringLiteral("parec"),
                   {QStringLiteral("--device=null.monitor"), QStringLiteral("--raw"),
                    QStringLiteral("--format=s16le"), QStringLiteral("--rate=8000"),
                    QStringLiteral("--channels=1")});
    if (!recorder.waitForStarted(5000))
        return -1;
    QThread::msleep(ms);
    recorder.terminate();
    if (!recorder.waitForFinished(3000) || recorder.exitStatus() != QProcess::NormalExit)
        return -1;
    const QByteArray sound = recorder.readAllStandardOutput();
    int peak = 0;
    for (qsizetype at = 0; at + 1 < sound.size(); at += 2) {
        qint16 sample = 0;
        std::memcpy(&sample, sound.constData() + at, sizeof sample);
        peak = std::max(peak, std::abs(int(sample)));
    }
    return peak;
}

QString PrivatePulseServer::socketPath() const
{
    return m_dir.filePath(QStringLiteral("native"));
}

} // namespace tarvoni::testing
