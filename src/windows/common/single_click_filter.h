#pragma once

#include <QObject>
#include <optional>

// Makes a button take a double click, or a burst of quick clicks, as one click: a press that follows the
// button's last press within the double-click interval is dropped, and so is the double click itself.
// Presses the button ignored while it was disabled count as last presses too, so a click that the user
// started while the button was disabled does not land once it is enabled again.
class SingleClickFilter final : public QObject
{
    Q_OBJECT

public:
    // Filters the events of button, which becomes its parent.
    explicit SingleClickFilter(QObject* button);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::optional<quint64> m_lastPress;
};
