#include "windows/main/live_view.h"

#include "windows/main/live_view_accessible.h"

#include <QPainter>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

namespace {

// As a text field's document margin, so that the view looks as it always did.
constexpr int margin = 4;

} // namespace

LiveView::LiveView(QWidget* parent)
    : QAbstractScrollArea(parent)
    , m_status{QString()}
{
    // Before anything that asks for the view's interface, which Qt then keeps for the view's life.
    LiveViewAccessible::install();
    setObjectName(QStringLiteral("BD_CHATSLATE_LIVE_TEXTBOX"));
    setAccessibleName(QStringLiteral("Live log"));
    viewport()->setCursor(Qt::IBeamCursor);
    m_longLines.setFont(font());
}

void LiveView::showLog(const QByteArray& log)
{
    LogLines::Memory bytes{log, {}};
    showIndexed(IndexedLog::of(bytes, m_log));
}

// The lines were found where the log was read: here they only take the place of those shown. Bytes are
// compared only for a log indexed against another than the one shown.
void LiveView::showIndexed(const IndexedLog& log)
{
    const bool unchanged = log.lines == m_log || (log.base != m_log && m_log->bytes() == log.bytes());
    if (m_showingLog && unchanged)
        return;
    const bool wasShowingLog = m_showingLog;
    const bool grown = !unchanged && log.base == m_log && log.linesInFront;
    if (!unchanged) {
        m_longLines.forget();
        m_log = log.lines;
    }
    m_showingLog = true;
    if (wasShowingLog && grown) {
        keepPlaceAfterGrowth(*log.linesInFront);
        LiveViewAccessible::linesAddedInFront(this, *log.linesInFront);
    } else {
        showFromTop();
        LiveViewAccessible::textReplaced(this);
    }
    emit textChanged();
}

void LiveView::showStatus(const QString& text)
{
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
    m_status = text.split(lineEnd);
    m_showingLog = false;
    m_longLines.forget();
    showFromTop();
    LiveViewAccessible::textReplaced(this);
    emit textChanged();
}

QString LiveView::toPlainText() const
{
    return text({}, end());
}

qsizetype LiveView::lineCount() const
{
    return m_showingLog ? m_log->count() : m_status.size();
}

QString LiveView::lineText(qsizetype line) const
{
    return m_showingLog ? m_longLines.text(line, [&] { return m_log->line(line); }) : m_status.at(line);
}

QString LiveView::lines(qsizetype first, qsizetype last) const
{
    return m_showingLog ? m_log->text(first, last)
                        : m_status.mid(first, last - first + 1).join(QLatin1Char('\n'));
}

// Decodes only the lines from one position to the other, in one piece.
QString LiveView::text(Position from, Position to) const
{
    const QString shown = lines(from.line, to.line);
    const qsizetype cutAtEnd = lineText(to.line).size() - to.column;
    return shown.sliced(from.column, shown.size() - from.column - cutAtEnd);
}

LiveView::Position LiveView::clamped(Position position) const
{
    const qsizetype line = std::clamp<qsizetype>(position.line, 0, lineCount() - 1);
    return {line, std::clamp<qsizetype>(position.column, 0, lineText(line).size())};
}

LiveView::Position LiveView::end() const
{
    const qsizetype last = lineCount() - 1;
    return {last, lineText(last).size()};
}

// As after replacing a text field's whole text: the first line, where the newest entry stands, and no
// selection.
void LiveView::showFromTop()
{
    m_anchor = m_cursor = {};
    m_widest = widthOfLongestLine();
    updateScrollBars();
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    viewport()->update();
}

// Someone reading older entries keeps them in view; someone at the top sees the new ones.
void LiveView::keepPlaceAfterGrowth(qsizetype linesInFront)
{
    const int top = verticalScrollBar()->value();
    m_anchor.line += linesInFront;
    m_cursor.line += linesInFront;
    widenTo(widthOfLongestLine());
    updateScrollBars();
    if (top > 0)
        verticalScrollBar()->setValue(int(top + linesInFront));
    viewport()->update();
}

// The log keeps its lines as posted; a status is read at a glance, never scrolled sideways, so it wraps.
bool LiveView::wraps() const
{
    return !m_showingLog;
}

int LiveView::layOut(QTextLayout& layout, const QString& text) const
{
    layout.setText(text);
    layout.setFont(font());
    QTextOption option;
    option.setWrapMode(wraps() ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.setCacheEnabled(true);
    layout.beginLayout();
    if (wraps()) {
        const int width = std::max(1, viewport()->width() - 2 * margin);
        for (QTextLine row = layout.createLine(); row.isValid(); row = layout.createLine()) {
            row.setLineWidth(width);
            row.setPosition(QPointF(0, (layout.lineCount() - 1) * lineHeight()));
        }
    } else {
        layout.createLine().setNumColumns(int(text.size()));
    }
    layout.endLayout();
    return std::max(1, layout.lineCount());
}

LongLines::Part LiveView::layOutPart(QTextLayout& layout, qsizetype line, qreal left, qreal right) const
{
    const QString text = lineText(line);
    if (wraps() || !LongLines::isLong(text)) {
        layOut(layout, text);
        return {0, text.size(), 0};
    }
    const LongLines::Part part = m_longLines.around(left, right);
    layOut(layout, text.sliced(part.from, part.count));
    return part;
}

int LiveView::rowsOf(qsizetype line) const
{
    QTextLayout layout;
    return layOut(layout, lineText(line));
}

// What the horizontal scroll bar must reach, as far as it can be known without laying out every line.
int LiveView::widthOfLongestLine() const
{
    if (wraps())
        return 0;
    const QString text = lineText(m_log->longest());
    if (LongLines::isLong(text))
        return int(std::ceil(m_longLines.width()));
    QTextLayout layout;
    layOut(layout, text);
    return int(std::ceil(layout.lineAt(0).naturalTextWidth()));
}

int LiveView::lineHeight() const
{
    return std::max(1, fontMetrics().lineSpacing());
}

int LiveView::visibleLines() const
{
    return std::max(1, (viewport()->height() - margin) / lineHeight());
}

void LiveView::updateScrollBars()
{
    const int visible = visibleLines();
    int maximum = int(std::max<qsizetype>(0, lineCount() - visible));
    if (wraps()) {
        int rows = 0;
        for (qsizetype line = 0; line < lineCount(); ++line)
            rows += rowsOf(line);
        maximum = rows <= visible ? 0 : int(lineCount() - 1);
    }
    verticalScrollBar()->setRange(0, maximum);
    verticalScrollBar()->setPageStep(visible);
    verticalScrollBar()->setSingleStep(1);
    const int width = viewport()->width();
    horizontalScrollBar()->setRange(0, std::max(0, m_widest + 2 * margin - width));
    horizontalScrollBar()->setPageStep(width);
    horizontalScrollBar()->setSingleStep(std::max(1, 2 * fontMetrics().averageCharWidth()));
}

void LiveView::widenTo(int width)
{
    if (width <= m_widest)
        return;
    m_widest = width;
    updateScrollBars();
}

void LiveView::changeEvent(QEvent* event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        m_longLines.setFont(font());
        m_widest = widthOfLongestLine();
        updateScrollBars();
    }
}

void LiveView::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::Text));
    const Position selectionStart = std::min(m_anchor, m_cursor);
    const Position selectionEnd = std::max(m_anchor, m_cursor);
    QTextCharFormat selected;
    selected.setBackground(palette().brush(QPalette::Highlight));
    selected.setForeground(palette().brush(QPalette::HighlightedText));
    const int height = lineHeight();
    const int scrolled = horizontalScrollBar()->value();
    const int left = margin - scrolled;
    int widest = 0;

    for (qsizetype line = verticalScrollBar()->value(), y = margin;
         line < lineCount() && y < viewport()->height(); ++line) {
        QTextLayout layout;
        const LongLines::Part part = layOutPart(layout, line, scrolled, scrolled + viewport()->width());
        const int rows = std::max(1, layout.lineCount());
        const QTextLine lastRow = layout.lineAt(rows - 1);
        const QPointF origin(left + part.x, y);
        if (!wraps())
            widest = std::max(widest, int(std::ceil(part.x + lastRow.naturalTextWidth())));
        QList<QTextLayout::FormatRange> selections;
        if (line >= selectionStart.line && line <= selectionEnd.line && selectionStart != selectionEnd) {
            const qsizetype from = line == selectionStart.line ? selectionStart.column - part.from : 0;
            const qsizetype until =
                line == selectionEnd.line ? selectionEnd.column - part.from : layout.text().size();
            const qsizetype start = std::clamp<qsizetype>(from, 0, part.count);
            selections.append(
                {int(start), int(std::clamp<qsizetype>(until, 0, part.count) - start), selected});
            // The line end is selected too: shown as a space's width after the text, as in a text field.
            if (line < selectionEnd.line && part.reachesEnd)
                painter.fillRect(QRectF(origin.x() + lastRow.naturalTextWidth(), y + lastRow.y(),
                                        fontMetrics().horizontalAdvance(QLatin1Char(' ')), height),
                                 selected.background());
        }
        layout.draw(&painter, origin, selections);
        const qsizetype cursorColumn = m_cursor.column - part.from;
        if (hasFocus() && line == m_cursor.line && cursorColumn >= 0 && cursorColumn <= part.count)
            layout.drawCursor(&painter, origin, int(cursorColumn));
        y += rows * height;
    }
    if (widest > m_widest)
        widenTo(widest);
}

void LiveView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

// The vertical scroll bar counts lines, not pixels: everything is painted afresh.
void LiveView::scrollContentsBy(int, int)
{
    viewport()->update();
}

LiveView::Position LiveView::positionAt(QPointF point) const
{
    const int height = lineHeight();
    const qsizetype first = verticalScrollBar()->value();
    qsizetype line = first;
    qreal top = margin;
    if (!wraps() || point.y() < top) {
        line = clamped({first + qsizetype(std::floor((point.y() - top) / height)), 0}).line;
        top += qreal(line - first) * height;
    } else {
        for (int rows = rowsOf(line); line + 1 < lineCount() && point.y() >= top + rows * height;
             rows = rowsOf(line)) {
            top += rows * height;
            ++line;
        }
    }
    const qreal x = point.x() - margin + horizontalScrollBar()->value();
    QTextLayout layout;
    const LongLines::Part part = layOutPart(layout, line, x, x);
    const int rows = std::max(1, layout.lineCount());
    const int row = std::clamp(int(std::floor((point.y() - top) / height)), 0, rows - 1);
    return {line, part.from + layout.lineAt(row).xToCursor(x - part.x)};
}

QRect LiveView::characterRect(Position position) const
{
    const qsizetype first = verticalScrollBar()->value();
    if (position.line < first)
        return {};
    int top = margin;
    for (qsizetype line = first; line < position.line && top < viewport()->height(); ++line)
        top += (wraps() ? rowsOf(line) : 1) * lineHeight();
    if (top >= viewport()->height())
        return {};
    const qreal left = margin - horizontalScrollBar()->value();
    // The line end has no glyph: a space's width stands for it, as the selection shows it.
    const qreal space = fontMetrics().horizontalAdvance(QLatin1Char(' '));
    const QString text = lineText(position.line);
    const qsizetype length = text.size();
    if (!wraps() && LongLines::isLong(text)) {
        const qreal x = m_longLines.xOf(position.column);
        const qreal width = position.column < length ? m_longLines.xOf(position.column + 1) - x : space;
        return QRectF(left + x, top, width, lineHeight()).toAlignedRect();
    }
    QTextLayout layout;
    layOut(layout, text);
    const int column = int(position.column);
    const QTextLine row = layout.lineForTextPosition(column);
    if (!row.isValid())
        return {};
    const qreal x = row.cursorToX(column);
    const qreal width = column < length ? row.cursorToX(column + 1) - x : space;
    return QRectF(left + x, top + row.y(), width, lineHeight()).toAlignedRect();
}

qreal LiveView::xOf(Position position) const
{
    const QString text = lineText(position.line);
    if (LongLines::isLong(text))
        return m_longLines.xOf(position.column);
    QTextLayout layout;
    layOut(layout, text);
    return layout.lineAt(0).cursorToX(int(position.column));
}

void LiveView::ensureVisible(Position position)
{
    QScrollBar* vertical = verticalScrollBar();
    if (position.line < vertical->value())
        vertical->setValue(int(position.line));
    else if (position.line >= vertical->value() + visibleLines())
        vertical->setValue(int(position.line - visibleLines() + 1));

    if (wraps())
        return;
    const int x = int(std::ceil(xOf(position)));
    widenTo(x);
    QScrollBar* horizontal = horizontalScrollBar();
    const int width = viewport()->width() - 2 * margin;
    if (x < horizontal->value())
        horizontal->setValue(x);
    else if (x > horizontal->value() + width)
        horizontal->setValue(x - width);
}
