#include "platform/window_order/system_window_order.h"

#include "platform/window_order/null_window_order.h"

#include <QGuiApplication>

#if defined(Q_OS_WIN)
#include "platform/window_order/win32_window_order.h"
#elif defined(CHATSLATE_HAVE_X11)
#include "platform/window_order/x11_window_order.h"

#include <X11/Xlib.h>
#endif

std::unique_ptr<WindowOrder> makeSystemWindowOrder()
{
#if defined(Q_OS_WIN)
    return std::make_unique<Win32WindowOrder>();
#else
#if defined(CHATSLATE_HAVE_X11)
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        if (const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
            const int screen = x11->display() ? DefaultScreen(x11->display()) : 0;
            return std::make_unique<X11WindowOrder>(x11->connection(), screen);
        }
    }
#endif
    return std::make_unique<NullWindowOrder>(QGuiApplication::platformName().toStdString());
#endif
}
