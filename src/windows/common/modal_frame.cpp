#include "windows/common/modal_frame.h"

#include <QDialog>
#include <QEvent>
#include <QTimer>

namespace {

class StaysOnScreen final : public QObject
{
public:
    explicit StaysOnScreen(QDialog* dialog)
        : QObject(dialog)
        , m_dialog(dialog)
    {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_dialog && event->type() == QEvent::WindowStateChange && m_dialog->isMinimized())
            // Once the manager has finished minimising: a restore in the middle of it is lost.
            QTimer::singleShot(0, m_dialog, [dialog = m_dialog] {
                dialog->showNormal();
                dialog->activateWindow();
            });
        return false;
    }

private:
    QDialog* m_dialog;
};

} // namespace

void ModalFrame::closeButtonOnly(QDialog* dialog)
{
    dialog->setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                           Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    dialog->installEventFilter(new StaysOnScreen(dialog));
}
