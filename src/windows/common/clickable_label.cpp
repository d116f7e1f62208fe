#include "windows/common/clickable_label.h"

#include <QMouseEvent>

ClickableLabel::ClickableLabel(const QString& objectName, const QString& caption, QWidget* parent)
    : QLabel(caption, parent)
{
    setObjectName(objectName);
}

void ClickableLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QLabel::mouseReleaseEvent(event);
}

void ClickableLabel::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit doubleClicked();
    QLabel::mouseDoubleClickEvent(event);
}
