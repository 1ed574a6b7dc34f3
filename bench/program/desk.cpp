#include "desk.h"

#include "event_wait.h"

#include <QDir>
#include <QFile>

#include <sys/uio.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xcbext.h>

namespace bench {

namespace {

constexpr uid_t kNobody = 65534;

void stop(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(3000);
    }
}

QStringList asNobody(const QString &program)
{
    return {QStringLiteral("setpriv"),
            QStringLiteral("--reuid=65534"),
            QStringLiteral("--regid=65534"),
            QStringLiteral("--clear-groups"),
            QStringLiteral("--"),
            program};
}

void startAs(QProcess &process, const QString &program, const QStringList &args, bool unprivileged)
{
    QStringList command = unprivileged ? asNobody(program) : QStringList{program};
    command += args;
    process.start(command.takeFirst(), command);
}

int run(const QString &program, const QStringList &args, const QProcessEnvironment &env,
        QByteArray *out = nullptr, bool unprivileged = false)
{
    QProcess process;
    process.setProcessEnvironment(env);
    startAs(process, program, args, unprivileged);
    if (!process.waitForFinished(10000))
        return -1;
    if (out)
        *out = process.readAllStandardOutput();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

} // namespace

Desk::Desk(bool asRoot)
    : m_unprivileged(::geteuid() == 0 && !asRoot)
{
    QFile::setPermissions(m_dir.path(), QFileDevice::Permissions(0x7755));
}

Desk::~Desk()
{
    m_xEvents.reset();
    if (m_x)
        xcb_disconnect(m_x);
    for (QProcess *process : {&m_pulse, &m_watcher, &m_dbus, &m_openbox, &m_xvfb})
        stop(*process);
}

QString Desk::ownedDir(const QString &name) const
{
    const QString path = m_dir.filePath(name);
    QDir().mkpath(path);
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (m_unprivileged && ::chown(QFile::encodeName(path).constData(), kNobody, kNobody) != 0)
        return {};
    return path;
}

QProcessEnvironment Desk::environment(const QString &home) const
{
    QProcessEnvironment env;
    env.insert(QStringLiteral("PATH"), QStringLiteral("/usr/local/bin:/usr/bin:/bin"));
    env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    env.insert(QStringLiteral("DISPLAY"), m_display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    if (!m_bus.isEmpty())
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_bus);
    if (!m_pulseServer.isEmpty())
        env.insert(QStringLiteral("PULSE_SERVER"), m_pulseServer);
    const QString dir = home.isEmpty() ? m_dir.filePath(QStringLiteral("desk-home")) : home;
    env.insert(QStringLiteral("HOME"), dir);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir + QStringLiteral("/run"));
    return env;
}

void Desk::launch(QProcess &process, const QString &program, const QStringList &args,
                  const QProcessEnvironment &extra)
{
    const QString home = ownedDir(QStringLiteral("home-%1").arg(++m_homes));
    const QString runtime = home + QStringLiteral("/run");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (m_unprivileged) {
        [[maybe_unused]] const int ignored = ::chown(QFile::encodeName(runtime).constData(), kNobody,
                                                     kNobody);
    }
    QProcessEnvironment env = environment(home);
    env.insert(extra);
    process.setProcessEnvironment(env);
    startAs(process, program, args, m_unprivileged);
}

bool Desk::start(const QString &watcherProgram, QString *error)
{
    ownedDir(QStringLiteral("desk-home/run"));
    ownedDir(QStringLiteral("desk-home"));
    return startX(error) && startDbus(watcherProgram, error) && startPulse(error);
}

bool Desk::startX(QString *error)
{
    int number = 200;
    while (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(number)))
        ++number;
    m_display = QStringLiteral(":%1").arg(number);
    m_xvfb.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_xvfb.start(QStringLiteral("Xvfb"),
                 {m_display, QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("1280x1024x24"),
                  QStringLiteral("-nolisten"), QStringLiteral("tcp"), QStringLiteral("-ac")});
    const QByteArray display = m_display.toLatin1();
    waitUntil(
        [&] {
            m_x = xcb_connect(display.constData(), nullptr);
            if (!xcb_connection_has_error(m_x))
                return true;
            xcb_disconnect(m_x);
            m_x = nullptr;
            return false;
        },
        10000);
    if (!m_x) {
        *error = QStringLiteral("Xvfb did not start");
        return false;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(m_x)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(m_x, root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(m_x);
    m_xEvents = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(m_x), QSocketNotifier::Read);
    QObject::connect(m_xEvents.get(), &QSocketNotifier::activated, m_xEvents.get(), [this] { readX(); });

    m_openbox.setProcessEnvironment(environment());
    m_openbox.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
    // openbox has taken the desktop once it owns the window manager selection.
    const QByteArray selection = "WM_S0";
    const auto cookie = xcb_intern_atom(m_x, 0, uint16_t(selection.size()), selection.constData());
    xcb_intern_atom_reply_t *atom = xcb_intern_atom_reply(m_x, cookie, nullptr);
    const xcb_atom_t wmSelection = atom ? atom->atom : XCB_NONE;
    free(atom);
    const bool managed = waitUntil(
        [&] {
            xcb_get_selection_owner_reply_t *owner = xcb_get_selection_owner_reply(
                m_x, xcb_get_selection_owner(m_x, wmSelection), nullptr);
            const bool owned = owner && owner->owner != XCB_NONE;
            free(owner);
            return owned;
        },
        10000);
    readX();
    if (!managed)
        *error = QStringLiteral("openbox did not start");
    return managed;
}

void Desk::readX()
{
    while (xcb_generic_event_t *event = xcb_poll_for_event(m_x)) {
        if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY) {
            const auto *map = reinterpret_cast<xcb_map_notify_event_t *>(event);
            if (!map->override_redirect && m_mappedNs < 0)
                m_mappedNs = nowNs();
        }
        free(event);
    }
}

bool Desk::startDbus(const QString &watcherProgram, QString *error)
{
    const QString address = QStringLiteral("unix:path=") + ownedDir(QStringLiteral("bus"))
        + QStringLiteral("/socket");
    launch(m_dbus, QStringLiteral("dbus-daemon"),
           {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--address=") + address});
    m_bus = address;
    const QStringList hasOwner{QStringLiteral("--session"),
                               QStringLiteral("--print-reply"),
                               QStringLiteral("--dest=org.freedesktop.DBus"),
                               QStringLiteral("/org/freedesktop/DBus"),
                               QStringLiteral("org.freedesktop.DBus.NameHasOwner"),
                               QStringLiteral("string:org.kde.StatusNotifierWatcher")};
    bool watcherStarted = false;
    const bool up = waitUntil(
        [&] {
            QByteArray reply;
            if (run(QStringLiteral("dbus-send"), hasOwner, environment(), &reply, m_unprivileged) != 0)
                return false;
            if (!std::exchange(watcherStarted, true)) {
                m_watcher.setProcessChannelMode(QProcess::ForwardedErrorChannel);
                launch(m_watcher, watcherProgram, {});
            }
            return reply.contains("true");
        },
        10000);
    if (!up)
        *error = QStringLiteral("the D-Bus session or the StatusNotifier host did not start");
    return up;
}

bool Desk::startPulse(QString *error)
{
    const QString socket = ownedDir(QStringLiteral("pulse")) + QStringLiteral("/native");
    m_pulse.setStandardOutputFile(m_dir.filePath(QStringLiteral("pulse.log")));
    m_pulse.setStandardErrorFile(m_dir.filePath(QStringLiteral("pulse.log")));
    launch(m_pulse, QStringLiteral("pulseaudio"),
           {QStringLiteral("-n"), QStringLiteral("--daemonize=no"), QStringLiteral("--exit-idle-time=-1"),
            QStringLiteral("--use-pid-file=no"), QStringLiteral("--disallow-module-loading=no"),
            QStringLiteral("-L"),
            QStringLiteral("module-native-protocol-unix auth-anonymous=1 socket=") + socket,
            QStringLiteral("-L"), QStringLiteral("module-null-sink sink_name=bench rate=44100")});
    m_pulseServer = QStringLiteral("unix:") + socket;
    const bool up = waitUntil(
        [&] {
            return run(QStringLiteral("pactl"), {QStringLiteral("info")}, environment(), nullptr,
                       m_unprivileged)
                == 0;
        },
        10000);
    if (!up)
        *error = QStringLiteral("PulseAudio did not start (see %1)")
                     .arg(m_dir.filePath(QStringLiteral("pulse.log")));
    return up;
}

QString Desk::windowOf(qint64 pid) const
{
    QByteArray out;
    run(QStringLiteral("xdotool"),
        {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
         QString::number(pid)},
        environment(), &out);
    return QString::fromLatin1(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts).value(0);
}

// XTest's FakeInput request, as xdotool sends it, made here so that the moment the server has
// taken the click is known to the benchmark's clock.
void fakeButton(xcb_connection_t *x, uint8_t type)
{
    static xcb_extension_t xtest{"XTEST", 0};
    struct {
        uint8_t major = 0, minor = 2;
        uint16_t length = 9;
        uint8_t type, detail = 1, pad0[2]{};
        uint32_t time = 0;
        xcb_window_t root = XCB_NONE;
        uint8_t pad1[8]{};
        int16_t rootX = 0, rootY = 0;
        uint8_t pad2[7]{};
        uint8_t device = 0;
    } request;
    static_assert(sizeof request == 36);
    request.type = type;
    iovec parts[3];
    parts[2] = {&request, sizeof request};
    xcb_protocol_request_t header{1, &xtest, 2, 1};
    xcb_send_request(x, 0, parts + 2, &header);
}

qint64 Desk::click(const QString &window, QPoint point) const
{
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(m_x)).data->root;
    xcb_translate_coordinates_reply_t *at = xcb_translate_coordinates_reply(
        m_x,
        xcb_translate_coordinates(m_x, xcb_window_t(window.toUInt()), root, int16_t(point.x()),
                                  int16_t(point.y())),
        nullptr);
    if (!at)
        return -1;
    xcb_warp_pointer(m_x, XCB_NONE, root, 0, 0, 0, 0, at->dst_x, at->dst_y);
    free(at);
    xcb_flush(m_x);
    pause(50); // the program sees the pointer arrive, as with a real mouse
    fakeButton(m_x, XCB_BUTTON_PRESS);
    fakeButton(m_x, XCB_BUTTON_RELEASE);
    free(xcb_get_input_focus_reply(m_x, xcb_get_input_focus(m_x), nullptr));
    // The server has taken the release: the button's clicked signal comes from it.
    return nowNs();
}

} // namespace bench
