#pragma once

#include <cstdint>

// A native top-level window as the window system names it: an HWND on Windows, a window id on X11.
// 0 is no window. Plain C++, so that the Windows backend builds without the toolkit.
using NativeWindow = std::uintptr_t;

// Moves windows between the normal and the topmost band of the window order. None of the operations
// moves, resizes, shows or hides a window, and none reports failure: a tick that misses is simply
// repeated by the next one.
class WindowOrder
{
public:
    virtual ~WindowOrder() = default;

    // The window the user is working in, or 0.
    virtual NativeWindow foreground() = 0;
    // The window stays where it is in the normal band, no longer above the others.
    virtual void dropTopmost(NativeWindow window) = 0;
    // The window joins the topmost band, hidden or not.
    virtual void makeTopmost(NativeWindow window) = 0;

    // Asks the window manager, each time before the window is shown, for the frame of a small tool
    // window: a caption with a close button only, and no task bar entry. Where the toolkit's tool-window
    // type already gets that frame (Windows: WS_EX_TOOLWINDOW), there is nothing to add.
    virtual void askForToolWindowFrame(NativeWindow window) { static_cast<void>(window); }

protected:
    WindowOrder() = default;
    WindowOrder(const WindowOrder&) = default;
    WindowOrder& operator=(const WindowOrder&) = default;
};
