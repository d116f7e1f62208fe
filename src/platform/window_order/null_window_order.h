#pragma once

#include "platform/window_order/window_order.h"

#include <string>

// For window systems without a way to order other programs' windows (offscreen, Wayland): does
// nothing, and says so once on standard error the first time it is asked.
class NullWindowOrder final : public WindowOrder
{
public:
    explicit NullWindowOrder(std::string windowSystem);
    // One instance for every caller without a window order of its own.
    static NullWindowOrder& shared();

    NativeWindow foreground() override;
    void dropTopmost(NativeWindow window) override;
    void makeTopmost(NativeWindow window) override;

private:
    void sayOnce();

    std::string m_windowSystem;
    bool m_said = false;
};
