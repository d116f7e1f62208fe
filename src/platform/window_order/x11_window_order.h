#pragma once

#include "platform/window_order/window_order.h"

#include <xcb/xcb.h>

// The same band change through the window manager (EWMH): the foreground window is the root window's
// _NET_ACTIVE_WINDOW and the topmost band is _NET_WM_STATE_ABOVE. A window the manager manages
// changes state through a client message to the root window; the manager ignores such messages for a
// withdrawn (hidden) window, so there the state goes straight into the window's _NET_WM_STATE property,
// which the manager reads when the window is next shown.
//
// Qt::WindowStaysOnTopHint is no substitute for a hidden window (Qt 6.4, xcb): set on the widget it
// destroys the native window; set on its QWindow it only sends the client message, which the manager
// ignores, and the next showing recreates the native window under a new id. The toolkit does keep
// atoms already in the property when it shows the window, so a state written here survives.
class X11WindowOrder final : public WindowOrder
{
public:
    // The connection stays the caller's; screen is the number of the screen whose root to use.
    X11WindowOrder(xcb_connection_t* connection, int screen);

    NativeWindow foreground() override;
    void dropTopmost(NativeWindow window) override;
    void makeTopmost(NativeWindow window) override;
    // Utility windows keep a minimise and a maximise button in some managers (openbox 3.6); toolbar
    // windows get a close button only there and are utility-like elsewhere, so both types are named,
    // toolbar first. A manager drops a window's states when it is hidden: the task bar and pager states
    // are written again before every showing.
    void askForToolWindowFrame(NativeWindow window) override;

private:
    void setAbove(xcb_window_t window, bool above);
    bool isManaged(xcb_window_t window) const;
    void sendStateMessage(xcb_window_t window, bool above);
    void writeStateProperty(xcb_window_t window, xcb_atom_t state, bool present);
    xcb_atom_t atom(const char* name) const;

    xcb_connection_t* m_connection;
    xcb_window_t m_root = XCB_WINDOW_NONE;
    xcb_atom_t m_activeWindow = XCB_ATOM_NONE;
    xcb_atom_t m_state = XCB_ATOM_NONE;
    xcb_atom_t m_above = XCB_ATOM_NONE;
    xcb_atom_t m_wmState = XCB_ATOM_NONE;
    xcb_atom_t m_windowType = XCB_ATOM_NONE;
    xcb_atom_t m_toolbarType = XCB_ATOM_NONE;
    xcb_atom_t m_utilityType = XCB_ATOM_NONE;
    xcb_atom_t m_skipTaskbar = XCB_ATOM_NONE;
    xcb_atom_t m_skipPager = XCB_ATOM_NONE;
};
