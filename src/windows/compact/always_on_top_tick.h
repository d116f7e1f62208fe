#pragma once

#include "platform/window_order/window_order.h"

namespace AlwaysOnTop {

// One tick of the compact window's timer. When the foreground window is some other program's, it
// loses the topmost state (asked for anew, not the handle just seen), then the compact window gains
// it, then the main window when it is given (0: not to be raised). The foreground being the compact
// window itself means nothing is to be done; the main window in the foreground keeps its state.
void tick(WindowOrder& order, NativeWindow compactWindow, NativeWindow mainWindow);

} // namespace AlwaysOnTop
