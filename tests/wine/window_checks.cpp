#include "window_checks.h"

#include "check.h"
#include "platform/window_order/win32_window_order.h"
#include "windows/compact/always_on_top_tick.h"

#include <cstdio>
#include <string>

namespace WindowChecks {

namespace {

void pumpMessages(DWORD msecs)
{
    const ULONGLONG end = GetTickCount64() + msecs;
    do {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(10);
    } while (GetTickCount64() < end);
}

HWND window(const wchar_t* title, DWORD exStyle, DWORD style, int left)
{
    static const wchar_t* const windowClass = [] {
        WNDCLASSW description{};
        description.lpfnWndProc = DefWindowProcW;
        description.hInstance = GetModuleHandleW(nullptr);
        description.lpszClassName = L"ChatSlateCheck";
        RegisterClassW(&description);
        return L"ChatSlateCheck";
    }();
    return CreateWindowExW(exStyle, windowClass, title, style, left, 100, 240, 160, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

bool isTopmost(HWND window)
{
    return (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

// Position in the window order, 0 the top.
int depth(HWND window)
{
    int index = 0;
    for (HWND current = GetTopWindow(nullptr); current; current = GetWindow(current, GW_HWNDNEXT), ++index) {
        if (current == window)
            return index;
    }
    return -1;
}

bool sameRect(HWND window, const RECT& before)
{
    RECT now{};
    GetWindowRect(window, &now);
    return EqualRect(&now, &before);
}

} // namespace

int run()
{
    // The user's window, with the keyboard focus in a text field, made topmost by the user.
    const HWND user = window(L"user", 0, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100);
    const HWND field = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_BORDER, 10, 10, 200, 24,
                                       user, nullptr, GetModuleHandleW(nullptr), nullptr);
    const HWND mainWindow = window(L"main", 0, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 400);
    const HWND compact = window(L"compact", WS_EX_TOOLWINDOW, WS_POPUP | WS_CAPTION, 700);
    pumpMessages(300);
    SetForegroundWindow(user);
    SetFocus(field);
    SetWindowPos(user, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    pumpMessages(300);
    CHECK(GetForegroundWindow() == user && GetFocus() == field, "the user's window has the focus");
    CHECK(isTopmost(user), "the user's window starts topmost");
    RECT mainRect{};
    GetWindowRect(mainWindow, &mainRect);

    Win32WindowOrder order;
    CHECK(order.foreground() == reinterpret_cast<NativeWindow>(user), "foreground");
    for (int tick = 1; tick <= 3; ++tick) {
        AlwaysOnTop::tick(order, reinterpret_cast<NativeWindow>(compact),
                          reinterpret_cast<NativeWindow>(mainWindow));
        pumpMessages(300);
        const std::string after = "after tick " + std::to_string(tick);
        CHECK(!isTopmost(user), after + ": the foreground window lost the topmost state");
        CHECK(isTopmost(compact) && isTopmost(mainWindow), after + ": the program's windows are topmost");
        CHECK(depth(mainWindow) >= 0 && depth(mainWindow) < depth(user), after + ": main window above");
        CHECK(!IsWindowVisible(compact), after + ": the compact window is still hidden");
        CHECK(sameRect(mainWindow, mainRect), after + ": the main window has not moved");
        CHECK(GetForegroundWindow() == user, after + ": the user's window is still in the foreground");
        CHECK(GetFocus() == field, after + ": the keyboard focus is still in the user's field");
    }
    order.dropTopmost(reinterpret_cast<NativeWindow>(mainWindow));
    order.dropTopmost(reinterpret_cast<NativeWindow>(compact));
    pumpMessages(200);
    CHECK(!isTopmost(mainWindow) && !isTopmost(compact), "topmost state cleared");
    CHECK(GetFocus() == field, "the keyboard focus stays after clearing");
    for (const HWND created : {compact, mainWindow, user})
        DestroyWindow(created);
    return WineCheck::failures();
}

} // namespace WindowChecks
