#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace tarvoni::testing {

// A PulseAudio server of the test's own on a private socket, with a null sink whose sound the
// test can read back.
class PrivatePulseServer {
public:
    ~PrivatePulseServer();

    bool start(QString *error);
    // For PULSE_SERVER.
    QString serverAddress() const;
    void freeze();
    void thaw();
    // The loudest sample the null sink plays over the next `ms` milliseconds (0 when nothing
    // plays), or -1 when it cannot be read.
    int peakOver(int ms) const;

private:
    QString socketPath() const;

    QTemporaryDir m_dir;
    QProcess m_process;
};

} // namespace tarvoni::testing
