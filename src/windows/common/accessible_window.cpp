#include "windows/common/accessible_window.h"

#include <QDialog>
#include <QStringList>

namespace {

QAccessibleInterface* createFor(const QString& className, QObject* object)
{
    static const QStringList windows{QStringLiteral("MainWindow"), QStringLiteral("SettingsWindow"),
                                     QStringLiteral("CompactWindow")};
    if (!windows.contains(className) || !object->isWidgetType())
        return nullptr;
    auto* window = static_cast<QWidget*>(object);
    return new AccessibleWindow(window,
                                qobject_cast<QDialog*>(window) ? QAccessible::Dialog : QAccessible::Window);
}

} // namespace

AccessibleWindow::AccessibleWindow(QWidget* window, QAccessible::Role role)
    : QAccessibleWidget(window, role)
{}

void AccessibleWindow::install()
{
    static const bool installed = (QAccessible::installFactory(createFor), true);
    Q_UNUSED(installed);
}

// Hidden controls and those wholly outside the client area are not there for the user.
QList<QWidget*> AccessibleWindow::shownControls() const
{
    QList<QWidget*> controls;
    const QRect clientArea = widget()->rect();
    for (QObject* child : widget()->children()) {
        auto* control = qobject_cast<QWidget*>(child);
        if (control && !control->isWindow() && !control->isHidden() &&
            clientArea.intersects(control->geometry()))
            controls.append(control);
    }
    return controls;
}

int AccessibleWindow::childCount() const
{
    return int(shownControls().size());
}

QAccessibleInterface* AccessibleWindow::child(int index) const
{
    const QList<QWidget*> controls = shownControls();
    return index >= 0 && index < controls.size() ? QAccessible::queryAccessibleInterface(controls.at(index))
                                                 : nullptr;
}

int AccessibleWindow::indexOfChild(const QAccessibleInterface* child) const
{
    if (!child)
        return -1;
    return int(shownControls().indexOf(qobject_cast<QWidget*>(child->object())));
}
