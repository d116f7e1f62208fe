#pragma once

#include <QCheckBox>

// A tick box holding the program's three states: 0 unticked, 1 ticked, 2 greyed. Qt numbers its own
// states differently (2 is checked), so values are mapped, never cast. Setting a value from code emits
// stateChanged at once when the value changes, so the handler runs nested inside the setting code; a
// click never reaches the greyed state.
class TickBox final : public QCheckBox
{
    Q_OBJECT

public:
    static constexpr short unticked = 0;
    static constexpr short ticked = 1;
    static constexpr short greyed = 2;

    TickBox(const QString& objectName, const QString& caption, QWidget* parent);

    short value() const;
    void setValue(short value);

protected:
    void nextCheckState() override;
};
