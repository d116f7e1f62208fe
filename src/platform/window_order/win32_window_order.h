#pragma once

#include "platform/window_order/window_order.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

// GetForegroundWindow and SetWindowPos of user32, bound by name on first use. SetWindowPos is only
// ever asked to change the band: no move, no size, no activation, so a hidden window stays hidden and
// the keyboard focus stays where it is.
class Win32WindowOrder final : public WindowOrder
{
public:
    Win32WindowOrder() = default;
    ~Win32WindowOrder() override;
    Win32WindowOrder(const Win32WindowOrder&) = delete;
    Win32WindowOrder& operator=(const Win32WindowOrder&) = delete;

    NativeWindow foreground() override;
    void dropTopmost(NativeWindow window) override;
    void makeTopmost(NativeWindow window) override;

private:
    using GetForegroundWindowFunction = HWND(WINAPI*)();
    using SetWindowPosFunction = BOOL(WINAPI*)(HWND, HWND, int, int, int, int, UINT);

    bool bind();
    void setBand(NativeWindow window, HWND insertAfter);

    bool m_bindTried = false;
    HMODULE m_user32 = nullptr;
    GetForegroundWindowFunction m_getForegroundWindow = nullptr;
    SetWindowPosFunction m_setWindowPos = nullptr;
};
