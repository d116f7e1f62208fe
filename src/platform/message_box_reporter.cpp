#include "platform/message_box_reporter.h"

#include <QMessageBox>

namespace {

const QString title = QStringLiteral("BD-ChatSlate");

} // namespace

void MessageBoxReporter::showError(QWidget* parent, const QString& message)
{
    QMessageBox::warning(parent, title, message);
}

bool MessageBoxReporter::askToProceed(QWidget* parent, const QString& question)
{
    return QMessageBox::question(parent, title, question, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}
