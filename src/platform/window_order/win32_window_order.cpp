#include "platform/window_order/win32_window_order.h"

namespace {

// Without SWP_NOACTIVATE every tick would activate the window it raises, hidden or not, and take the
// keyboard focus from the window the user is typing in.
constexpr UINT bandOnly = SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE;

// GetProcAddress hands back a generic function pointer; going through void(*)() keeps the cast to
// the real signature free of cast-function-type warnings.
template <typename Function> Function boundFunction(HMODULE module, const char* name)
{
    const FARPROC address = GetProcAddress(module, name);
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

HWND toHwnd(NativeWindow window)
{
    return reinterpret_cast<HWND>(window);
}

} // namespace

Win32WindowOrder::~Win32WindowOrder()
{
    if (m_user32)
        FreeLibrary(m_user32);
}

bool Win32WindowOrder::bind()
{
    if (!m_bindTried) {
        m_bindTried = true;
        m_user32 = LoadLibraryW(L"user32");
        if (m_user32) {
            m_getForegroundWindow =
                boundFunction<GetForegroundWindowFunction>(m_user32, "GetForegroundWindow");
            m_setWindowPos = boundFunction<SetWindowPosFunction>(m_user32, "SetWindowPos");
        }
    }
    return m_getForegroundWindow && m_setWindowPos;
}

NativeWindow Win32WindowOrder::foreground()
{
    if (!bind())
        return 0;
    return reinterpret_cast<NativeWindow>(m_getForegroundWindow());
}

void Win32WindowOrder::dropTopmost(NativeWindow window)
{
    setBand(window, HWND_NOTOPMOST);
}

void Win32WindowOrder::makeTopmost(NativeWindow window)
{
    setBand(window, HWND_TOPMOST);
}

// The result is not looked at: a window that vanished meanwhile is no longer anyone's concern.
void Win32WindowOrder::setBand(NativeWindow window, HWND insertAfter)
{
    if (window == 0 || !bind())
        return;
    m_setWindowPos(toHwnd(window), insertAfter, 0, 0, 0, 0, bandOnly);
}
