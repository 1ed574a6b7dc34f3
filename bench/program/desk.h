#pragma once

#include <QPoint>
#include <QProcess>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <memory>

struct xcb_connection_t;

namespace bench {

// A desktop of its own for the benchmark: Xvfb, openbox, a private D-Bus session with a
// StatusNotifier host, and a private PulseAudio whose only sink is a null sink. When the
// benchmark runs as root, the desktop and the programs on it run as an ordinary user
// (nobody), unless it is told to keep them as root.
class Desk {
public:
    explicit Desk(bool asRoot);
    ~Desk();
    Desk(const Desk &) = delete;
    Desk &operator=(const Desk &) = delete;

    bool start(const QString &watcherProgram, QString *error);

    // Starts a program on this desk with a home of its own, as a new user would meet it.
    void launch(QProcess &process, const QString &program, const QStringList &args,
                const QProcessEnvironment &extra = {});
    bool unprivileged() const { return m_unprivileged; }
    QProcessEnvironment environment(const QString &home = {}) const;
    QString monitorSource() const { return QStringLiteral("bench.monitor"); }

    // Map notifications of top-level frames, timestamped as they arrive.
    void forgetMapping() { m_mappedNs = -1; }
    qint64 mappedNs() const { return m_mappedNs; }

    // The visible top-level window of a process, as an X window id; empty when none.
    QString windowOf(qint64 pid) const;
    // A click of the first button at a point of the window. Returns when the X server had
    // taken it (on nowNs()'s clock), or -1.
    qint64 click(const QString &window, QPoint point) const;

private:
    bool startX(QString *error);
    bool startDbus(const QString &watcherProgram, QString *error);
    bool startPulse(QString *error);
    QString ownedDir(const QString &name) const;
    void readX();

    QTemporaryDir m_dir;
    bool m_unprivileged;
    int m_homes = 0;
    QString m_display;
    QString m_bus;
    QString m_pulseServer;
    QProcess m_xvfb, m_openbox, m_dbus, m_watcher, m_pulse;
    xcb_connection_t *m_x = nullptr;
    std::unique_ptr<QSocketNotifier> m_xEvents;
    qint64 m_mappedNs = -1;
};

} // namespace bench
