#pragma once

#include "settings/settings.h"

#include <QObject>
#include <QPoint>
#include <QSize>

class QWidget;

// Places a fixed-size top-level window by its outer frame, as the stored values give it, and reports
// its position back. The window system adds the frame only once the window is shown, so the client
// size is corrected from the frame it reports then.
class FramePlacement final : public QObject
{
public:
    explicit FramePlacement(QWidget* window);

    // Left, Top, Width, Height in this order; a window that would lie off every screen is moved onto
    // the nearest one.
    void apply(const Settings::Placement& placement);

    // Outer Left and Top in twips: the values applied while the window has not moved (a twip value
    // need not be a whole number of pixels), the normal position while it is minimised.
    QPointF positionTwips() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fitClientToFrame();

    QWidget* m_window;
    QSize m_outerSize;
    QPoint m_appliedPosition;
    QPointF m_appliedTwips;
    QPoint m_normalPosition;
};
