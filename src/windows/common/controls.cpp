#include "windows/common/controls.h"

#include "windows/common/clickable_label.h"
#include "windows/common/tick_box.h"
#include "windows/common/window_look.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

namespace {

template <typename Control> Control* placed(Control* control, const Controls::Twips& at)
{
    WindowLook::place(control, at.left, at.top, at.width, at.height);
    return control;
}

} // namespace

ClickableLabel* Controls::titleLabel(QWidget* parent, const QString& name, const QString& caption, Twips at,
                                     qreal points)
{
    auto* label = placed(new ClickableLabel(name, caption, parent), at);
    label->setFont(WindowLook::arialBold(points));
    WindowLook::setColours(label, WindowLook::black, WindowLook::green);
    return label;
}

QPushButton* Controls::button(QWidget* parent, const QString& name, const QString& caption, Twips at)
{
    auto* button = placed(new QPushButton(caption, parent), at);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

TickBox* Controls::tickBox(QWidget* parent, const QString& name, const QString& caption, Twips at,
                           short value)
{
    auto* box = placed(new TickBox(name, caption, parent), at);
    box->setValue(value);
    return box;
}

QLineEdit* Controls::lineEdit(QWidget* parent, const QString& name, const QString& text, Twips at)
{
    auto* field = placed(new QLineEdit(text, parent), at);
    field->setObjectName(name);
    return field;
}

QPlainTextEdit* Controls::multiLine(QWidget* parent, const QString& name, const QString& text, Twips at)
{
    auto* field = new QPlainTextEdit(text, parent);
    field->setObjectName(name);
    setUpScrollArea(field, at);
    field->setLineWrapMode(QPlainTextEdit::NoWrap);
    field->setTabChangesFocus(true);
    return field;
}

void Controls::setUpScrollArea(QAbstractScrollArea* area, Twips at)
{
    WindowLook::place(area, at.left, at.top, at.width, at.height);
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // A screen reader adds the role: "vertical scroll bar".
    area->verticalScrollBar()->setAccessibleName(QStringLiteral("Vertical"));
    area->horizontalScrollBar()->setAccessibleName(QStringLiteral("Horizontal"));
}

void Controls::keepOutOfFocus(QWidget* control)
{
    control->setFocusPolicy(Qt::NoFocus);
}
