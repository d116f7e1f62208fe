#pragma once

#include "platform/message_reporter.h"

#include <QStringList>

// Test implementation: records what the user would have been told and gives preset answers.
class RecordingReporter final : public MessageReporter
{
public:
    void showError(QWidget*, const QString& message) override { m_errors << message; }
    bool askToProceed(QWidget*, const QString& question) override
    {
        m_questions << question;
        return m_proceed;
    }

    void setAnswer(bool proceed) { m_proceed = proceed; }
    QStringList& errors() { return m_errors; }
    QStringList& questions() { return m_questions; }

private:
    QStringList m_errors;
    QStringList m_questions;
    bool m_proceed = false;
};
