#pragma once

#include "platform/message_reporter.h"

class MessageBoxReporter final : public MessageReporter
{
public:
    void showError(QWidget* parent, const QString& message) override;
    bool askToProceed(QWidget* parent, const QString& question) override;
};
