#pragma once

#include <QLabel>

class ClickableLabel final : public QLabel
{
    Q_OBJECT

public:
    ClickableLabel(const QString& objectName, const QString& caption, QWidget* parent);

signals:
    void clicked();
    void doubleClicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};
