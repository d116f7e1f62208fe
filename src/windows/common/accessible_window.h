#pragma once

#include <QAccessibleWidget>
#include <QList>

// What a screen reader gets of the program's three windows: a frame (or a dialog) named by its caption,
// holding only the controls a sighted user can see. The hidden constants and the working fields of the
// band below the visible client area stay out of it, until a taller window uncovers them.
class AccessibleWindow final : public QAccessibleWidget
{
public:
    AccessibleWindow(QWidget* window, QAccessible::Role role);

    // Registers the interface with Qt's accessibility before a window first asks for one; more calls do
    // nothing.
    static void install();

    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;

private:
    QList<QWidget*> shownControls() const;
};
