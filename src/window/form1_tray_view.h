#pragma once

#include "form1.h"
#include "tray/tray_form.h"

namespace tarvoni {

// Form1 as the tray code sees it: the window with its state as 0, 1, 2, and the two members
// only the main window has. Owned by the window and handed to the tray module and the tray
// menu's commands.
class Form1::TrayView final : public TrayForm {
public:
    explicit TrayView(Form1 &form)
        : m_form(form)
    {
    }

    WindowHandle hWnd() const override { return m_form.hWnd(); }
    IconHandle iconHandle() const override;
    qint16 windowState() const override { return m_form.windowStateValue(); }
    void setWindowState(qint16 state) override { m_form.setWindowStateValue(state); }
    bool isVisible() const override { return m_form.isVisible(); }
    void show() override { m_form.showFromTray(); }
    void hide() override { m_form.hide(); }
    void setFocus() override;
    void popupMenu(QMenu *menu) override;
    qint16 lastState() const override { return m_form.LastState; }
    void setTrayMenuItems(qint16 state) override { m_form.SetTrayMenuItems(state); }
    void unload() override { m_form.unload(); }

private:
    Form1 &m_form;
};

} // namespace tarvoni
