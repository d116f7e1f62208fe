#include "windows/main/live_view.h"

#include "livelog/code_page.h"

LiveView::LiveView(QWidget* parent)
    : QPlainTextEdit(parent)
{
    setObjectName(QStringLiteral("BD_CHATSLATE_LIVE_TEXTBOX"));
}

void LiveView::showLog(const QByteArray& log)
{
    if (m_shownLog == log)
        return;
    // Replacing the whole text puts the view back at its first line, where the newest entry stands.
    setPlainText(CodePage::decode(log));
    m_shownLog = log;
}

void LiveView::showStatus(const QString& text)
{
    setPlainText(text);
    m_shownLog.reset();
}
