#include "windows/common/single_click_filter.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QStyleHints>

SingleClickFilter::SingleClickFilter(QObject* button)
    : QObject(button)
{
    button->installEventFilter(this);
}

bool SingleClickFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonDblClick)
        return true;
    if (event->type() != QEvent::MouseButtonPress)
        return QObject::eventFilter(watched, event);
    // The times of input events come from the window system, so they are compared only with each other.
    const quint64 pressed = static_cast<QMouseEvent*>(event)->timestamp();
    const auto interval = quint64(QGuiApplication::styleHints()->mouseDoubleClickInterval());
    const bool repeated = m_lastPress && pressed >= *m_lastPress && pressed - *m_lastPress < interval;
    m_lastPress = pressed;
    return repeated;
}
