#pragma once

#include "platform/window_order/window_order.h"

#include <memory>

// The window order of the window system the application runs on; call once the application exists.
std::unique_ptr<WindowOrder> makeSystemWindowOrder();
