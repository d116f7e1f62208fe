#include "windows/common/tick_box.h"

TickBox::TickBox(const QString& objectName, const QString& caption, QWidget* parent)
    : QCheckBox(caption, parent)
{
    setObjectName(objectName);
}

short TickBox::value() const
{
    switch (checkState()) {
    case Qt::Checked:
        return ticked;
    case Qt::PartiallyChecked:
        return greyed;
    case Qt::Unchecked:
        break;
    }
    return unticked;
}

void TickBox::setValue(short value)
{
    switch (value) {
    case ticked:
        setCheckState(Qt::Checked);
        break;
    case greyed:
        setCheckState(Qt::PartiallyChecked);
        break;
    default:
        setCheckState(Qt::Unchecked);
        break;
    }
}

void TickBox::nextCheckState()
{
    setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
}
