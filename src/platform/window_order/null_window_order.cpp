#include "platform/window_order/null_window_order.h"

#include <iostream>
#include <utility>

NullWindowOrder::NullWindowOrder(std::string windowSystem)
    : m_windowSystem(std::move(windowSystem))
{}

NullWindowOrder& NullWindowOrder::shared()
{
    static NullWindowOrder order("(none chosen)");
    return order;
}

NativeWindow NullWindowOrder::foreground()
{
    sayOnce();
    return 0;
}

void NullWindowOrder::dropTopmost(NativeWindow)
{
    sayOnce();
}

void NullWindowOrder::makeTopmost(NativeWindow)
{
    sayOnce();
}

void NullWindowOrder::sayOnce()
{
    if (m_said)
        return;
    m_said = true;
    std::cerr << "BD-CHATSLATE: \"Always On Top\" has no effect on the \"" << m_windowSystem
              << "\" window system: it cannot keep windows above others there.\n";
}
