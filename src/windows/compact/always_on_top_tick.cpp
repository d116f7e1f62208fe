#include "windows/compact/always_on_top_tick.h"

void AlwaysOnTop::tick(WindowOrder& order, NativeWindow compactWindow, NativeWindow mainWindow)
{
    const NativeWindow foreground = order.foreground();
    if (foreground == compactWindow)
        return;
    if (mainWindow == 0 || foreground != mainWindow) {
        // The foreground may have changed since the first question; the program's own windows are
        // never the ones to lose the state.
        const NativeWindow current = order.foreground();
        if (current != 0 && current != compactWindow && current != mainWindow)
            order.dropTopmost(current);
    }
    order.makeTopmost(compactWindow);
    if (mainWindow != 0)
        order.makeTopmost(mainWindow);
}
