#pragma once

#include "platform/files/file_access.h"

#include <QString>

// What the chat session asks of the user, through whichever window shows it. Each call returns once the
// user has answered; the session keeps the refresh timer off meanwhile where that matters.
class SessionPrompts
{
public:
    virtual ~SessionPrompts() = default;

    virtual void showError(const QString& message) = 0;
    // True when the user chooses to go on.
    virtual bool askToProceed(const QString& question) = 0;
    // Asks for a login to the share that refused the last one; true when one was given and is now
    // remembered for it.
    virtual bool askForLogin(const QString& shareLocation, const FileError& error) = 0;
};
