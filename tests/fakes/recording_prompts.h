#pragma once

#include "session/session_prompts.h"

#include <QStringList>
#include <functional>

// Test implementation: records what the session asked of the user and gives preset answers.
class RecordingPrompts final : public SessionPrompts
{
public:
    void showError(const QString& message) override
    {
        errors << message;
        whileOpen();
    }
    bool askToProceed(const QString& question) override
    {
        questions << question;
        whileOpen();
        return proceed;
    }
    bool askForLogin(const QString&, const FileError& error) override
    {
        loginReasons << error.message;
        whileOpen();
        return loginGiven && loginGiven();
    }

    QStringList errors;
    QStringList questions;
    QStringList loginReasons;
    bool proceed = true;
    // Gives (and remembers) a login when it returns true; no login when empty.
    std::function<bool()> loginGiven;
    // What happens while any dialog is open.
    std::function<void()> whileOpen = [] {
    };
};
