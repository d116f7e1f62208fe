#include "windows/main/live_view.h"
#include "windows/main/live_view_accessible.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QTextLayout>
#include <algorithm>

// The view's keyboard and mouse: the cursor, the selection and what is offered of it.

namespace {

constexpr int dragScrollInterval = 50;

struct Motion
{
    QKeySequence::StandardKey move;
    QKeySequence::StandardKey select;
};

constexpr Motion motions[] = {
    {QKeySequence::MoveToNextChar, QKeySequence::SelectNextChar},
    {QKeySequence::MoveToPreviousChar, QKeySequence::SelectPreviousChar},
    {QKeySequence::MoveToNextWord, QKeySequence::SelectNextWord},
    {QKeySequence::MoveToPreviousWord, QKeySequence::SelectPreviousWord},
    {QKeySequence::MoveToNextLine, QKeySequence::SelectNextLine},
    {QKeySequence::MoveToPreviousLine, QKeySequence::SelectPreviousLine},
    {QKeySequence::MoveToNextPage, QKeySequence::SelectNextPage},
    {QKeySequence::MoveToPreviousPage, QKeySequence::SelectPreviousPage},
    {QKeySequence::MoveToStartOfLine, QKeySequence::SelectStartOfLine},
    {QKeySequence::MoveToEndOfLine, QKeySequence::SelectEndOfLine},
    {QKeySequence::MoveToStartOfDocument, QKeySequence::SelectStartOfDocument},
    {QKeySequence::MoveToEndOfDocument, QKeySequence::SelectEndOfDocument},
};

} // namespace

void LiveView::setSelection(Position anchor, Position cursor)
{
    m_anchor = clamped(anchor);
    moveCursor(clamped(cursor), true);
}

QString LiveView::selectedText() const
{
    return text(std::min(m_anchor, m_cursor), std::max(m_anchor, m_cursor));
}

void LiveView::copy() const
{
    if (hasSelection())
        QGuiApplication::clipboard()->setText(selectedText());
}

void LiveView::selectAll()
{
    m_anchor = {};
    m_cursor = end();
    viewport()->update();
    LiveViewAccessible::cursorMoved(this);
    offerSelection();
}

void LiveView::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Copy)) {
        copy();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
        return;
    }
    for (const Motion& motion : motions) {
        if (event->matches(motion.move) || event->matches(motion.select)) {
            moveCursor(moved(motion.move, m_cursor), event->matches(motion.select));
            return;
        }
    }
    QAbstractScrollArea::keyPressEvent(event);
}

LiveView::Position LiveView::moved(QKeySequence::StandardKey key, Position from) const
{
    const qsizetype length = lineText(from.line).size();
    const qsizetype page = visibleLines();
    switch (key) {
    case QKeySequence::MoveToNextChar:
        if (from.column < length)
            return {from.line, from.column + 1};
        return from.line + 1 < lineCount() ? Position{from.line + 1, 0} : from;
    case QKeySequence::MoveToPreviousChar:
        if (from.column > 0)
            return {from.line, from.column - 1};
        return from.line > 0 ? Position{from.line - 1, lineText(from.line - 1).size()} : from;
    case QKeySequence::MoveToNextWord:
    case QKeySequence::MoveToPreviousWord: {
        const bool next = key == QKeySequence::MoveToNextWord;
        // From a line's end (or start) a word move goes on to the next (or previous) line, as a character
        // move does.
        if (next ? from.column >= length : from.column <= 0)
            return moved(next ? QKeySequence::MoveToNextChar : QKeySequence::MoveToPreviousChar, from);
        const QString text = lineText(from.line);
        const LongLines::Part part = LongLines::isLong(text) ? m_longLines.aroundColumn(from.column)
                                                             : LongLines::Part{0, text.size(), 0};
        QTextLayout layout;
        layOut(layout, text.sliced(part.from, part.count));
        const int column = int(from.column - part.from);
        return {from.line,
                part.from + (next ? layout.nextCursorPosition(column, QTextLayout::SkipWords)
                                  : layout.previousCursorPosition(column, QTextLayout::SkipWords))};
    }
    case QKeySequence::MoveToNextLine:
        return clamped({from.line + 1, from.column});
    case QKeySequence::MoveToPreviousLine:
        return clamped({from.line - 1, from.column});
    case QKeySequence::MoveToNextPage:
        return clamped({from.line + page, from.column});
    case QKeySequence::MoveToPreviousPage:
        return clamped({from.line - page, from.column});
    case QKeySequence::MoveToStartOfLine:
        return {from.line, 0};
    case QKeySequence::MoveToEndOfLine:
        return {from.line, length};
    case QKeySequence::MoveToStartOfDocument:
        return {};
    default:
        return end();
    }
}

void LiveView::moveCursor(Position to, bool keepAnchor)
{
    m_cursor = to;
    if (!keepAnchor)
        m_anchor = to;
    ensureVisible(to);
    viewport()->update();
    LiveViewAccessible::cursorMoved(this);
}

void LiveView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    moveCursor(positionAt(event->position()), event->modifiers() & Qt::ShiftModifier);
    m_selecting = true;
}

void LiveView::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_selecting || !(event->buttons() & Qt::LeftButton)) {
        QAbstractScrollArea::mouseMoveEvent(event);
        return;
    }
    moveCursor(positionAt(event->position()), true);
    const bool outside = event->position().y() < 0 || event->position().y() >= viewport()->height();
    if (outside && !m_dragScroll.isActive())
        m_dragScroll.start(dragScrollInterval, this);
    else if (!outside)
        m_dragScroll.stop();
}

void LiveView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_selecting) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    m_selecting = false;
    m_dragScroll.stop();
    offerSelection();
}

void LiveView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseDoubleClickEvent(event);
        return;
    }
    selectWordAt(positionAt(event->position()));
    offerSelection();
}

void LiveView::selectWordAt(Position position)
{
    const QString line = lineText(position.line);
    qsizetype start = position.column;
    qsizetype end = position.column;
    while (start > 0 && line.at(start - 1).isLetterOrNumber())
        --start;
    while (end < line.size() && line.at(end).isLetterOrNumber())
        ++end;
    m_anchor = {position.line, start};
    moveCursor({position.line, end}, true);
}

// On X11 what is selected is what a middle click pastes elsewhere.
void LiveView::offerSelection() const
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (hasSelection() && clipboard->supportsSelection())
        clipboard->setText(selectedText(), QClipboard::Selection);
}

void LiveView::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    QAction* copyAction = menu.addAction(QStringLiteral("&Copy"), this, &LiveView::copy);
    copyAction->setObjectName(QStringLiteral("edit-copy"));
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setEnabled(hasSelection());
    menu.addSeparator();
    QAction* selectAllAction = menu.addAction(QStringLiteral("Select All"), this, &LiveView::selectAll);
    selectAllAction->setObjectName(QStringLiteral("select-all"));
    selectAllAction->setShortcut(QKeySequence::SelectAll);
    menu.exec(event->globalPos());
}

void LiveView::focusInEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void LiveView::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

void LiveView::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_dragScroll.timerId()) {
        QAbstractScrollArea::timerEvent(event);
        return;
    }
    moveCursor(positionAt(viewport()->mapFromGlobal(QCursor::pos())), true);
}
