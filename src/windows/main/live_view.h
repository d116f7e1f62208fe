#pragma once

#include "livelog/log_lines.h"
#include "windows/main/long_lines.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QByteArray>
#include <QKeySequence>
#include <QRect>
#include <QStringList>
#include <compare>
#include <memory>
#include <optional>

class QTextLayout;

// The live log view, which doubles as the main window's status line: read-only plain text without
// wrapping, selectable by mouse and keyboard, with Copy and Select All.
//
// A log of years holds hundreds of thousands of lines, so the view lays out only the lines on screen:
// it keeps the log's bytes with an index of its lines and decodes a line when it is painted. A read that
// brings the same bytes leaves the view alone (scroll position and selection survive); one that brings
// posts in front indexes only those and keeps the lines the user reads in place; the log stays aside
// while a status text shows.
class LiveView final : public QAbstractScrollArea
{
    Q_OBJECT

public:
    // A place in the text: a line and a character within it.
    struct Position
    {
        qsizetype line = 0;
        qsizetype column = 0;
        auto operator<=>(const Position&) const = default;
    };

    explicit LiveView(QWidget* parent);

    void showLog(const QByteArray& log);
    void showIndexed(const IndexedLog& log);
    // Replaces what the view shows; the text may span several lines.
    void showStatus(const QString& text);

    // The log bytes on display; nothing while a status text shows.
    std::optional<QByteArray> shownLog() const
    {
        return m_showingLog ? std::optional<QByteArray>(m_log->bytes()) : std::nullopt;
    }

    // What the view shows, lines joined by LF, as a text field's toPlainText() gives it.
    QString toPlainText() const;
    qsizetype lineCount() const;

    void setSelection(Position anchor, Position cursor);
    bool hasSelection() const { return m_anchor != m_cursor; }
    Position anchor() const { return m_anchor; }
    Position cursor() const { return m_cursor; }
    QString selectedText() const;
    void copy() const;
    void selectAll();

    // For a screen reader, which asks for ranges of the text: only these are decoded.
    QString lineText(qsizetype line) const;
    // Lines first to last, joined by LF.
    QString lines(qsizetype first, qsizetype last) const;
    QString text(Position from, Position to) const;
    // Where the character at a position stands in the viewport; empty when its line is off screen.
    QRect characterRect(Position position) const;
    // The position nearest a point of the viewport.
    Position positionAt(QPointF point) const;
    void ensureVisible(Position position);

signals:
    void textChanged();

protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    Position clamped(Position position) const;
    Position end() const;

    void showFromTop();
    void keepPlaceAfterGrowth(qsizetype linesInFront);

    bool wraps() const;
    // Returns the number of rows the text takes on screen.
    int layOut(QTextLayout& layout, const QString& text) const;
    // Lays out what of a line lies between the pixels left and right across it: all of a short line, the
    // part on screen of a long one. Returns that part.
    LongLines::Part layOutPart(QTextLayout& layout, qsizetype line, qreal left, qreal right) const;
    int rowsOf(qsizetype line) const;
    int widthOfLongestLine() const;
    int lineHeight() const;
    int visibleLines() const;
    void updateScrollBars();
    void widenTo(int width);

    Position moved(QKeySequence::StandardKey key, Position from) const;
    void moveCursor(Position to, bool keepAnchor);
    // Across the unwrapped line, from its start.
    qreal xOf(Position position) const;
    void selectWordAt(Position position);
    void offerSelection() const;

    // The log on display, or kept aside while a status text shows.
    std::shared_ptr<const LogLines> m_log = std::make_shared<const LogLines>();
    QStringList m_status;
    bool m_showingLog = false;
    Position m_anchor;
    Position m_cursor;
    mutable LongLines m_longLines;
    // The widest line measured so far, in pixels; lines off screen are never measured but the longest.
    int m_widest = 0;
    bool m_selecting = false;
    // Scrolls on while the mouse selects above or below the view.
    QBasicTimer m_dragScroll;
};
