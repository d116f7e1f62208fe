#include "windows/main/live_view.h"

#include "livelog/code_page.h"
#include "livelog/live_log_format.h"

#include <QPlainTextDocumentLayout>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>

namespace {

QTextDocument* plainDocument(QObject* parent)
{
    auto* document = new QTextDocument(parent);
    // Nobody edits the view: an undo history would only hold a second copy of the log.
    document->setUndoRedoEnabled(false);
    document->setDocumentLayout(new QPlainTextDocumentLayout(document));
    return document;
}

qsizetype trailingLineEnds(QByteArrayView bytes)
{
    const QByteArrayView lineEnd(LiveLogFormat::lineEnd);
    qsizetype count = 0;
    while (bytes.endsWith(lineEnd)) {
        bytes.chop(lineEnd.size());
        ++count;
    }
    return count;
}

} // namespace

LiveView::LiveView(QWidget* parent)
    : QPlainTextEdit(parent)
    , m_logDocument(plainDocument(this))
    , m_statusDocument(plainDocument(this))
{
    setObjectName(QStringLiteral("BD_CHATSLATE_LIVE_TEXTBOX"));
    setDocument(m_statusDocument);
}

void LiveView::showLog(const QByteArray& log)
{
    if (m_shownLog == log)
        return;
    if (document() != m_logDocument) {
        // Before the switch: a change of wrapping lays out the document on display again.
        setLineWrapMode(NoWrap);
        m_logDocument->setDefaultFont(font());
        setDocument(m_logDocument);
    }
    if (m_logBytes != log && !showGrowth(log))
        replaceLog(log);
    m_logBytes = log;
    m_shownLog = log;
    scrollToFirstLine();
}

void LiveView::showStatus(const QString& text)
{
    if (document() != m_statusDocument) {
        m_statusDocument->setDefaultFont(font());
        setDocument(m_statusDocument);
    }
    // A status is read at a glance, never scrolled sideways; the log keeps its lines as posted.
    setLineWrapMode(WidgetWidth);
    m_statusDocument->setPlainText(text);
    m_shownLog.reset();
}

// Posts only add in front and at the end: k posts since the last read make the new log the k new entries,
// the old log, then k more line ends. Then only the new front is decoded and laid out.
bool LiveView::showGrowth(const QByteArray& log)
{
    const qsizetype oldEnds = trailingLineEnds(m_logBytes);
    const qsizetype newEnds = trailingLineEnds(log);
    if (m_logBytes.isEmpty() || newEnds < oldEnds)
        return false;
    const qsizetype lineEndSize = LiveLogFormat::lineEnd.size();
    const QByteArrayView oldCore = QByteArrayView(m_logBytes).chopped(oldEnds * lineEndSize);
    const QByteArrayView newCore = QByteArrayView(log).chopped(newEnds * lineEndSize);
    if (!newCore.endsWith(oldCore))
        return false;
    // Every post's front ends with the separator; anything else may join lines across the seam (a CR at
    // its end and an LF at the old log's start are one line end, not two).
    const QByteArrayView front = newCore.first(newCore.size() - oldCore.size());
    if (!front.endsWith(LiveLogFormat::separator))
        return false;

    // Two separate edits, not one edit block: a block spanning the first and the last line makes the
    // layout redo everything in between.
    QTextCursor cursor(m_logDocument);
    cursor.movePosition(QTextCursor::Start);
    cursor.insertText(CodePage::decode(front.toByteArray()));
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(CodePage::decode(LiveLogFormat::lineEnd.repeated(newEnds - oldEnds)));
    return true;
}

void LiveView::replaceLog(const QByteArray& log)
{
    m_logDocument->setPlainText(CodePage::decode(log));
}

// As after replacing the whole text: the first line, where the newest entry stands, and no selection.
void LiveView::scrollToFirstLine()
{
    QTextCursor cursor(m_logDocument);
    cursor.movePosition(QTextCursor::Start);
    setTextCursor(cursor);
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
}
