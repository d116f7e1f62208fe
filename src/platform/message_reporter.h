#pragma once

#include <QString>

class QWidget;

// Every message the program shows the user goes through here, so that tests can answer and read them
// instead of blocking on a dialog.
class MessageReporter
{
public:
    virtual ~MessageReporter() = default;

    virtual void showError(QWidget* parent, const QString& message) = 0;
    // True when the user chooses to go on.
    virtual bool askToProceed(QWidget* parent, const QString& question) = 0;
};
