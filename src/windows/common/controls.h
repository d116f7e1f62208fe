#pragma once

#include <QString>

class ClickableLabel;
class QAbstractScrollArea;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QWidget;
class TickBox;

// Builders for the controls of the three windows, placed by their design position in twips.
namespace Controls {

struct Twips
{
    int left, top, width, height;
};

// Arial bold, green on black: the title rows of every window.
ClickableLabel* titleLabel(QWidget* parent, const QString& name, const QString& caption, Twips at,
                           qreal points);
QPushButton* button(QWidget* parent, const QString& name, const QString& caption, Twips at);
TickBox* tickBox(QWidget* parent, const QString& name, const QString& caption, Twips at, short value);
QLineEdit* lineEdit(QWidget* parent, const QString& name, const QString& text, Twips at);
// Multi-line, both scroll bars; Tab moves the focus on, as in every other field.
QPlainTextEdit* multiLine(QWidget* parent, const QString& name, const QString& text, Twips at);
// What every multi-line control shares, text field or not: its place and both scroll bars.
void setUpScrollArea(QAbstractScrollArea* area, Twips at);

// A control of the band below the visible client area: never reachable by the keyboard, or a user
// could type into a field they cannot see.
void keepOutOfFocus(QWidget* control);

} // namespace Controls
