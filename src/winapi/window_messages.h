#pragma once

#include <QtGlobal>

#include <functional>

namespace tarvoni {

// The one window's handle and its icon's handle, as the window system hands them out.
using WindowHandle = quintptr;
using IconHandle = quintptr;
using LResult = qint32;

// A window procedure: handle, message, wParam, lParam; its result goes back to the sender.
using WindowProc = std::function<LResult(WindowHandle hwnd, quint32 msg, quint32 wParam, qint32 lParam)>;

constexpr quint32 WM_NULL = 0;
constexpr quint32 WM_NCDESTROY = 0x82;
constexpr quint32 WM_SYSCOMMAND = 0x112;
constexpr quint32 WM_MOUSEMOVE = 0x200;
constexpr quint32 WM_LBUTTONDOWN = 0x201;
constexpr quint32 WM_LBUTTONUP = 0x202;
constexpr quint32 WM_LBUTTONDBLCLK = 0x203;
constexpr quint32 WM_RBUTTONDOWN = 0x204;
constexpr quint32 WM_RBUTTONUP = 0x205;
constexpr quint32 WM_MBUTTONUP = 0x208;

// Sent by the notification area for mouse activity over the tray icon (mouse message in lParam).
constexpr quint32 TRAY_CALLBACK_MESSAGE = 2025;

// System commands, carried in wParam of WM_SYSCOMMAND.
constexpr quint32 SC_SIZE = 0xF000;
constexpr quint32 SC_MOVE = 0xF010;
constexpr quint32 SC_MINIMIZE = 0xF020;
constexpr quint32 SC_MAXIMIZE = 0xF030;
constexpr quint32 SC_RESTORE = 0xF120;

} // namespace tarvoni
