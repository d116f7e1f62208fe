#include "platform/window_order/x11_window_order.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

struct FreeReply
{
    void operator()(void* reply) const { std::free(reply); }
};
template <typename Reply> using ReplyPointer = std::unique_ptr<Reply, FreeReply>;

// _NET_WM_STATE actions and the source indication of a request.
constexpr std::uint32_t removeState = 0;
constexpr std::uint32_t addState = 1;
// The program asking for its own windows is an application; taking the state from another program's
// window is done on the user's behalf, as a pager would.
constexpr std::uint32_t sourceApplication = 1;
constexpr std::uint32_t sourceUser = 2;

// ICCCM WM_STATE values of a window the manager has taken on.
constexpr std::uint32_t normalState = 1;
constexpr std::uint32_t iconicState = 3;

// A window can vanish between two requests: its error is dropped here instead of reaching the
// toolkit's event queue as a complaint.
ReplyPointer<xcb_get_property_reply_t> propertyOf(xcb_connection_t* connection, xcb_window_t window,
                                                  xcb_atom_t property, xcb_atom_t type, std::uint32_t length)
{
    xcb_generic_error_t* error = nullptr;
    const xcb_get_property_cookie_t cookie =
        xcb_get_property(connection, 0, window, property, type, 0, length);
    ReplyPointer<xcb_get_property_reply_t> reply(xcb_get_property_reply(connection, cookie, &error));
    std::free(error);
    if (!reply || reply->format != 32 || reply->type != type)
        return nullptr;
    return reply;
}

} // namespace

X11WindowOrder::X11WindowOrder(xcb_connection_t* connection, int screen)
    : m_connection(connection)
{
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int number = 0; screens.rem > 0; ++number, xcb_screen_next(&screens)) {
        if (number == screen || m_root == XCB_WINDOW_NONE)
            m_root = screens.data->root;
        if (number == screen)
            break;
    }
    m_activeWindow = atom("_NET_ACTIVE_WINDOW");
    m_state = atom("_NET_WM_STATE");
    m_above = atom("_NET_WM_STATE_ABOVE");
    m_wmState = atom("WM_STATE");
    m_windowType = atom("_NET_WM_WINDOW_TYPE");
    m_toolbarType = atom("_NET_WM_WINDOW_TYPE_TOOLBAR");
    m_utilityType = atom("_NET_WM_WINDOW_TYPE_UTILITY");
    m_skipTaskbar = atom("_NET_WM_STATE_SKIP_TASKBAR");
    m_skipPager = atom("_NET_WM_STATE_SKIP_PAGER");
}

xcb_atom_t X11WindowOrder::atom(const char* name) const
{
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(m_connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    const ReplyPointer<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(m_connection, cookie, nullptr));
    return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

NativeWindow X11WindowOrder::foreground()
{
    const auto reply = propertyOf(m_connection, m_root, m_activeWindow, XCB_ATOM_WINDOW, 1);
    if (!reply || xcb_get_property_value_length(reply.get()) < 4)
        return 0;
    return *static_cast<const xcb_window_t*>(xcb_get_property_value(reply.get()));
}

void X11WindowOrder::dropTopmost(NativeWindow window)
{
    setAbove(static_cast<xcb_window_t>(window), false);
}

void X11WindowOrder::makeTopmost(NativeWindow window)
{
    setAbove(static_cast<xcb_window_t>(window), true);
}

void X11WindowOrder::setAbove(xcb_window_t window, bool above)
{
    if (window == XCB_WINDOW_NONE || m_state == XCB_ATOM_NONE || m_above == XCB_ATOM_NONE)
        return;
    if (isManaged(window))
        sendStateMessage(window, above);
    else
        writeStateProperty(window, m_above, above);
    xcb_flush(m_connection);
}

void X11WindowOrder::askForToolWindowFrame(NativeWindow native)
{
    const auto window = static_cast<xcb_window_t>(native);
    if (window == XCB_WINDOW_NONE || m_windowType == XCB_ATOM_NONE || m_state == XCB_ATOM_NONE)
        return;
    const xcb_atom_t types[] = {m_toolbarType, m_utilityType};
    const xcb_void_cookie_t cookie = xcb_change_property_checked(m_connection, XCB_PROP_MODE_REPLACE, window,
                                                                 m_windowType, XCB_ATOM_ATOM, 32, 2, types);
    xcb_discard_reply(m_connection, cookie.sequence);
    writeStateProperty(window, m_skipTaskbar, true);
    writeStateProperty(window, m_skipPager, true);
    xcb_flush(m_connection);
}

// Managed windows are the ones the manager has given a WM_STATE of normal or iconic; mapping alone
// says nothing, as a minimised window is unmapped too.
bool X11WindowOrder::isManaged(xcb_window_t window) const
{
    const auto reply = propertyOf(m_connection, window, m_wmState, m_wmState, 1);
    if (!reply || xcb_get_property_value_length(reply.get()) < 4)
        return false;
    const std::uint32_t state = *static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    return state == normalState || state == iconicState;
}

void X11WindowOrder::sendStateMessage(xcb_window_t window, bool above)
{
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = m_state;
    message.data.data32[0] = above ? addState : removeState;
    message.data.data32[1] = m_above;
    message.data.data32[2] = 0;
    message.data.data32[3] = above ? sourceApplication : sourceUser;
    const xcb_void_cookie_t cookie = xcb_send_event_checked(
        m_connection, 0, m_root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
        reinterpret_cast<const char*>(&message));
    xcb_discard_reply(m_connection, cookie.sequence);
}

// Other states the window carries (modal, above, ...) are kept as they are.
void X11WindowOrder::writeStateProperty(xcb_window_t window, xcb_atom_t state, bool present)
{
    const auto reply = propertyOf(m_connection, window, m_state, XCB_ATOM_ATOM, 1024);
    std::vector<xcb_atom_t> states;
    if (reply) {
        const auto* values = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
        states.assign(values, values + xcb_get_property_value_length(reply.get()) / 4);
    }
    const bool wasPresent = std::find(states.begin(), states.end(), state) != states.end();
    if (wasPresent == present)
        return;
    if (present)
        states.push_back(state);
    else
        states.erase(std::remove(states.begin(), states.end(), state), states.end());
    const xcb_void_cookie_t cookie =
        xcb_change_property_checked(m_connection, XCB_PROP_MODE_REPLACE, window, m_state, XCB_ATOM_ATOM, 32,
                                    static_cast<std::uint32_t>(states.size()), states.data());
    xcb_discard_reply(m_connection, cookie.sequence);
}
