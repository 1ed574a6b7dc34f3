#include "tray_host_window.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace tarvoni::test {

TrayHostWindow::TrayHostWindow()
    : m_form(std::make_unique<Form1>(StationCatalogue::builtIn(), new FakeMediaPlayer))
{
    QObject::connect(m_form.get(), &Form1::unloaded, [this] { m_unloaded = true; });
    // Between the hook, which load puts in front, and the window's own handling.
    WindowProcedureHost &windows = m_form->windowSystem();
    m_ownHandling = windows.setWindowProc(
        windows.hwnd(), [this, &windows](WindowHandle hwnd, quint32 msg, quint32 wParam, qint32 lParam) {
            m_handled.append(msg);
            return windows.callWindowProc(m_ownHandling, hwnd, msg, wParam, lParam);
        });
    m_area.emplace(m_form->windowIcon(), m_form->mnuTray, windows);
    m_form->load(&*m_area);
    m_form->show();
}

void reexecOnPrivateBus(int argc, char **argv)
{
    if (qEnvironmentVariableIsSet("TARVONI_TEST_PRIVATE_BUS"))
        return;
    setenv("TARVONI_TEST_PRIVATE_BUS", "1", 1);
    char *self = realpath("/proc/self/exe", nullptr);
    std::vector<char *> args{const_cast<char *>("dbus-run-session"), const_cast<char *>("--"),
                             self ? self : argv[0]};
    for (int i = 1; i < argc; ++i)
        args.push_back(argv[i]);
    args.push_back(nullptr);
    execvp(args[0], args.data());
    std::perror("dbus-run-session");
    std::exit(127);
}

} // namespace tarvoni::test
