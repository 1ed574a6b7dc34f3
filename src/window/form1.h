#pragma once

#include "player/playback_controller.h"
#include "tray/window_state.h"
#include "winapi/window_procedure_host.h"

#include <QPixmap>
#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QScrollBar;

namespace tarvoni {

class APIStuff;
class MediaPlayer;
class NotificationArea;
class StationButton;
class StationCatalogue;
class StatusAnnouncer;
struct Station;

// The program's one window: logo banner, information panel, station grid, small print, and
// the hidden tray menu. Handlers stay thin: playback, tray and window-state rules live in
// their own classes, so they can be exercised without this window.
class Form1 : public QWidget, public PlaybackView {
    Q_OBJECT

public:
    static constexpr QSize kClientSize{637, 581};
    static constexpr QPoint kStartPosition{292, 83};
    static inline const QString kProductName = QStringLiteral("Tarvoni Radio Player");
    static inline const QString kTitle = kProductName + QStringLiteral(" - www.tarvoniradio.com");

    // `player` may be null (no media engine); the window then works without sound.
    Form1(const StationCatalogue &catalogue, MediaPlayer *player, QWidget *parent = nullptr);
    ~Form1() override;

    // The load handler: records LastState, installs the tray icon in `area` (null: no tray)
    // with its hook, sets the tray tip and the start-up volume. Runs before the first showing.
    void load(NotificationArea *area);

    // The last window state that was not minimized.
    qint16 LastState = 0;
    // Enables the tray menu's commands that make sense in the window state `state`.
    void SetTrayMenuItems(const qint16 &state);

    // 0 normal, 1 minimized, 2 maximized. A window hidden in the tray reports the state it
    // was hidden with, and comes back in it.
    qint16 windowStateValue() const;
    WindowHandle hWnd() const;
    // Destroys the window: it hides, its WM_NCDESTROY goes through its procedure, and
    // unloaded() is emitted. Once only.
    void unload();

    WindowProcedureHost &windowSystem() { return m_windows; }
    APIStuff *trayModule() const { return m_tray.get(); }
    StationButton *stationButton(const QString &controlName) const;
    const std::vector<StationButton *> &stationButtons() const { return m_stationButtons; }

    // Controls, by the names the rest of the program knows them by.
    QLabel *Image1 = nullptr;
    QLabel *Image2 = nullptr;
    QLabel *st = nullptr;
    QLabel *lblstation = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *lblkb = nullptr;
    QLabel *info1 = nullptr;
    QScrollBar *vol = nullptr;
    QPushButton *play = nullptr;
    QPushButton *stop = nullptr;
    QPushButton *mini = nullptr;
    QPushButton *exit = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *volval = nullptr;
    QLabel *Label7 = nullptr;
    QLabel *Label6 = nullptr;
    MediaPlayer *wm = nullptr;

    QMenu *mnuTray = nullptr;
    QAction *mnuTrayRestore = nullptr;
    QAction *mnuTrayMove = nullptr;
    QAction *mnuTraySize = nullptr;
    QAction *mnuTrayMinimize = nullptr;
    QAction *mnuTrayMaximize = nullptr;
    QAction *mnuTraySep = nullptr;
    QAction *mnuTrayClose = nullptr;

    // PlaybackView
    QString stationText() const override;
    void setStationText(const QString &text) override;
    void setStatusText(const QString &text) override;
    void setHintVisible(bool visible) override;
    void setPlayVisible(bool visible) override;
    int volumeValue() const override;
    void setVolumeText(const QString &text) override;
    void setVolumeColour(const RgbColour &colour) override;

signals:
    // The window is gone (Close, or the exit button): the program ends.
    void unloaded();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    class TrayView;

    void createPanel();
    void createStationButtons(const StationCatalogue &catalogue);
    void createTrayMenu();
    void applyStackingAndTabOrder();
    void connectHandlers();

    void exitClicked();
    void lblstationChanged();
    void resizeHandler();
    void setWindowStateValue(qint16 state);
    void showFromTray();
    void setOwnWindowState(Qt::WindowStates states);
    LResult defaultWindowProc(WindowHandle hwnd, quint32 msg, quint32 wParam, qint32 lParam);
    LResult sendToSelf(quint32 msg, quint32 wParam = 0, qint32 lParam = 0);

    QPixmap m_background;
    std::vector<StationButton *> m_stationButtons;
    StatusAnnouncer *m_statusAnnouncer = nullptr; // says each new status to a screen reader
    PlaybackController m_playback;
    WindowProcedureHost m_windows;
    std::unique_ptr<TrayView> m_trayView; // the window as the tray code sees it
    TrayMenuCommands m_trayCommands;
    std::unique_ptr<APIStuff> m_tray;
    int m_ownStateChanges = 0; // > 0 while the window changes its own state
    // The state a window that the window manager minimized was hidden into the tray with,
    // while Qt still counts it minimized; reported as the window's state until it is shown.
    std::optional<Qt::WindowStates> m_stateInTray;
    bool m_destroyed = false;
    bool m_painted = false;
};

} // namespace tarvoni
