#include "windows/common/frame_placement.h"

#include "windows/common/window_look.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace {

int distance(const QRect& from, const QRect& to)
{
    const QPoint offset = from.center() - to.center();
    return offset.manhattanLength();
}

// A window lying entirely off every screen comes back onto the nearest one.
QPoint onSomeScreen(const QRect& frame)
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.isEmpty())
        return frame.topLeft();
    QRect nearest = screens.first()->availableGeometry();
    for (const QScreen* screen : screens) {
        if (screen->geometry().intersects(frame))
            return frame.topLeft();
        if (distance(frame, screen->availableGeometry()) < distance(frame, nearest))
            nearest = screen->availableGeometry();
    }
    const int left = std::clamp(frame.left(), nearest.left(), std::max(nearest.left(), nearest.right() - frame.width()));
    const int top = std::clamp(frame.top(), nearest.top(), std::max(nearest.top(), nearest.bottom() - frame.height()));
    return {left, top};
}

} // namespace

FramePlacement::FramePlacement(QWidget* window)
    : QObject(window)
    , m_window(window)
{
    window->installEventFilter(this);
}

void FramePlacement::apply(const Settings::Placement& placement)
{
    const QPoint stored(WindowLook::toPixels(placement.left), WindowLook::toPixels(placement.top));
    m_outerSize = QSize(WindowLook::toPixels(placement.width), WindowLook::toPixels(placement.height));
    m_appliedPosition = onSomeScreen(QRect(stored, m_outerSize));
    m_appliedTwips = m_appliedPosition == stored
                         ? QPointF(placement.left, placement.top)
                         : QPointF(WindowLook::toTwips(m_appliedPosition.x()),
                                   WindowLook::toTwips(m_appliedPosition.y()));
    m_normalPosition = m_appliedPosition;
    m_window->move(m_appliedPosition);
    fitClientToFrame();
}

QPointF FramePlacement::positionTwips() const
{
    const QPoint position = m_window->isMinimized() ? m_normalPosition : m_window->pos();
    if (position == m_appliedPosition)
        return m_appliedTwips;
    return {WindowLook::toTwips(position.x()), WindowLook::toTwips(position.y())};
}

bool FramePlacement::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window) {
        switch (event->type()) {
        case QEvent::Show:
        case QEvent::Resize:
        case QEvent::Move:
        case QEvent::WindowStateChange:
            fitClientToFrame();
            if (!m_window->isMinimized())
                m_normalPosition = m_window->pos();
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void FramePlacement::fitClientToFrame()
{
    if (m_outerSize.isEmpty())
        return;
    const QSize frame = m_window->frameGeometry().size() - m_window->geometry().size();
    const QSize client = (m_outerSize - frame).expandedTo(QSize(1, 1));
    if (m_window->minimumSize() != client || m_window->maximumSize() != client)
        m_window->setFixedSize(client);
}
