#include "windows/common/message_box_reporter.h"

#include "windows/common/modal_frame.h"

#include <QMessageBox>

namespace {

const QString title = QStringLiteral("BD-ChatSlate");

} // namespace

void MessageBoxReporter::showError(QWidget* parent, const QString& message)
{
    QMessageBox box(QMessageBox::Warning, title, message, QMessageBox::Ok, parent);
    ModalFrame::closeButtonOnly(&box);
    box.exec();
}

bool MessageBoxReporter::askToProceed(QWidget* parent, const QString& question)
{
    QMessageBox box(QMessageBox::Question, title, question, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    ModalFrame::closeButtonOnly(&box);
    return box.exec() == QMessageBox::Yes;
}
