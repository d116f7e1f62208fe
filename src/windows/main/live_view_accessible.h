#pragma once

#include "windows/main/live_view.h"

#include <QAccessibleWidget>
#include <utility>
#include <vector>

// What a screen reader gets of the live view: a read-only multi-line text with its caret and selection,
// as a text field offers them. The view decodes only the lines a request covers; what a reader needs of
// the whole text (its length, where each line starts in it) is indexed once per change of the text, and
// only while a reader asks.
class LiveViewAccessible final : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit LiveViewAccessible(LiveView* view);
    ~LiveViewAccessible() override;

    // Registers the interface with Qt's accessibility; once is enough, more calls do nothing.
    static void install();
    // The view's hooks: they tell a listening screen reader what changed, and do nothing while none
    // listens.
    static void textReplaced(LiveView* view);
    static void linesAddedInFront(LiveView* view, qsizetype lines);
    static void cursorMoved(LiveView* view);

    void* interface_cast(QAccessible::InterfaceType type) override;
    QAccessible::State state() const override;

    void selection(int selectionIndex, int* startOffset, int* endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(int startOffset, int endOffset) const override;
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                             int* endOffset) const override;
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                            int* endOffset) const override;
    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                         int* endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint& point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int* startOffset, int* endOffset) const override;

    using QAccessibleWidget::text;

private:
    using Span = std::pair<qsizetype, qsizetype>;

    LiveView* view() const;
    // Where each line starts in the whole text; built on the first request after a change.
    const std::vector<qsizetype>& lineStarts() const;
    // Keeps the index valid after posts in front and returns where their trailing line ends went in.
    qsizetype indexFront(qsizetype lines);
    qsizetype count() const;
    qsizetype offsetOf(LiveView::Position position) const;
    LiveView::Position positionOf(qsizetype offset) const;
    // The unit of text around an offset, by the boundary a reader asks for.
    Span spanAt(qsizetype offset, QAccessible::TextBoundaryType boundary) const;
    QString textOf(Span span, int* startOffset, int* endOffset) const;

    LiveView* m_view;
    mutable std::vector<qsizetype> m_lineStarts;
    mutable qsizetype m_count = 0;
    bool m_hadSelection = false;
};
