#include "windows/main/live_view_accessible.h"

#include <QHash>
#include <QScrollBar>
#include <QTextBoundaryFinder>
#include <algorithm>

namespace {

// A log is decoded for the index this many lines at a time: one decode per block, not per line.
constexpr qsizetype linesPerBlock = 4096;
// An event carries its text over the bus whole, and a 100 MB log is more than the bus takes; a reader
// gets the rest through the interface.
constexpr qsizetype eventTextLimit = 65536;

QHash<const LiveView*, LiveViewAccessible*>& interfaces()
{
    static QHash<const LiveView*, LiveViewAccessible*> all;
    return all;
}

QAccessibleInterface* createFor(const QString& className, QObject* object)
{
    if (className == QLatin1String("LiveView"))
        if (auto* view = qobject_cast<LiveView*>(object))
            return new LiveViewAccessible(view);
    return nullptr;
}

// The interface a listening reader has of the view, made if it has none yet; none while none listens.
LiveViewAccessible* listenedTo(LiveView* view)
{
    // Qt passes events on only while a reader listens.
    if (!QAccessible::isActive())
        return nullptr;
    return dynamic_cast<LiveViewAccessible*>(QAccessible::queryAccessibleInterface(view));
}

void send(QAccessibleEvent&& event)
{
    QAccessible::updateAccessibility(&event);
}

} // namespace

LiveViewAccessible::LiveViewAccessible(LiveView* view)
    : QAccessibleWidget(view, QAccessible::EditableText)
    , m_view(view)
{
    interfaces().insert(view, this);
}

// Qt deletes the interface once the view is being destroyed, when object() is null already.
LiveViewAccessible::~LiveViewAccessible()
{
    interfaces().remove(m_view);
}

void LiveViewAccessible::install()
{
    static const bool installed = (QAccessible::installFactory(createFor), true);
    Q_UNUSED(installed);
}

void LiveViewAccessible::textReplaced(LiveView* view)
{
    LiveViewAccessible* known = interfaces().value(view);
    const qsizetype oldCount = known && !known->m_lineStarts.empty() ? known->m_count : 0;
    if (known)
        known->m_lineStarts.clear();
    LiveViewAccessible* iface = listenedTo(view);
    if (!iface)
        return;
    // As a text field tells it: the old text's length in blanks, then the new text.
    const int inserted = int(std::min(iface->count(), eventTextLimit));
    send(QAccessibleTextUpdateEvent(view, 0, QString(std::min(oldCount, eventTextLimit), QLatin1Char(' ')),
                                    iface->text(0, inserted)));
    cursorMoved(view);
}

void LiveViewAccessible::linesAddedInFront(LiveView* view, qsizetype lines)
{
    LiveViewAccessible* known = interfaces().value(view);
    const bool indexed = known && !known->m_lineStarts.empty();
    const qsizetype tailAt = indexed ? known->indexFront(lines) : -1;
    LiveViewAccessible* iface = listenedTo(view);
    if (!iface)
        return;
    const qsizetype front = iface->lineStarts().at(lines);
    send(QAccessibleTextInsertEvent(view, 0, iface->text(0, int(std::min(front, eventTextLimit)))));
    if (tailAt >= 0 && tailAt < iface->count())
        send(QAccessibleTextInsertEvent(view, int(tailAt),
                                        QString(iface->count() - tailAt, QLatin1Char('\n'))));
    cursorMoved(view);
}

void LiveViewAccessible::cursorMoved(LiveView* view)
{
    LiveViewAccessible* iface = listenedTo(view);
    if (!iface)
        return;
    send(QAccessibleTextCursorEvent(view, iface->cursorPosition()));
    const bool hasSelection = view->hasSelection();
    if (hasSelection || iface->m_hadSelection) {
        int start = 0;
        int end = 0;
        iface->selection(0, &start, &end);
        send(QAccessibleTextSelectionEvent(view, start, end));
    }
    iface->m_hadSelection = hasSelection;
}

void* LiveViewAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QAccessible::State LiveViewAccessible::state() const
{
    QAccessible::State state = QAccessibleWidget::state();
    state.readOnly = true;
    state.multiLine = true;
    state.selectableText = true;
    return state;
}

LiveView* LiveViewAccessible::view() const
{
    return m_view;
}

const std::vector<qsizetype>& LiveViewAccessible::lineStarts() const
{
    if (!m_lineStarts.empty())
        return m_lineStarts;
    const qsizetype lines = view()->lineCount();
    m_lineStarts.reserve(size_t(lines));
    qsizetype blockStart = 0;
    for (qsizetype first = 0; first < lines; first += linesPerBlock) {
        const QString block = view()->lines(first, std::min(lines, first + linesPerBlock) - 1);
        m_lineStarts.push_back(blockStart);
        for (qsizetype at = block.indexOf(QLatin1Char('\n')); at >= 0;
             at = block.indexOf(QLatin1Char('\n'), at + 1))
            m_lineStarts.push_back(blockStart + at + 1);
        blockStart += block.size() + 1;
    }
    m_count = blockStart - 1;
    return m_lineStarts;
}

// The lines before are new and the old ones follow unchanged, then as many empty lines as line ends came
// at the very end.
qsizetype LiveViewAccessible::indexFront(qsizetype lines)
{
    const qsizetype oldLines = qsizetype(m_lineStarts.size());
    const qsizetype oldCount = m_count;
    std::vector<qsizetype> starts{0};
    const QString front = view()->lines(0, lines - 1);
    for (qsizetype at = front.indexOf(QLatin1Char('\n')); at >= 0;
         at = front.indexOf(QLatin1Char('\n'), at + 1))
        starts.push_back(at + 1);
    const qsizetype shift = front.size() + 1;
    for (const qsizetype start : m_lineStarts)
        starts.push_back(start + shift);
    const qsizetype tailAt = oldCount + shift;
    const qsizetype added = view()->lineCount() - lines - oldLines;
    for (qsizetype line = 1; line <= added; ++line)
        starts.push_back(tailAt + line);
    m_lineStarts = std::move(starts);
    m_count = tailAt + std::max<qsizetype>(0, added);
    return tailAt;
}

qsizetype LiveViewAccessible::count() const
{
    lineStarts();
    return m_count;
}

qsizetype LiveViewAccessible::offsetOf(LiveView::Position position) const
{
    return lineStarts().at(size_t(position.line)) + position.column;
}

LiveView::Position LiveViewAccessible::positionOf(qsizetype offset) const
{
    const std::vector<qsizetype>& starts = lineStarts();
    offset = std::clamp<qsizetype>(offset, 0, m_count);
    const qsizetype line =
        qsizetype(std::upper_bound(starts.begin(), starts.end(), offset) - starts.begin()) - 1;
    return {line, offset - starts[size_t(line)]};
}

void LiveViewAccessible::selection(int selectionIndex, int* startOffset, int* endOffset) const
{
    *startOffset = *endOffset = 0;
    if (selectionIndex != 0 || !view()->hasSelection())
        return;
    *startOffset = int(offsetOf(std::min(view()->anchor(), view()->cursor())));
    *endOffset = int(offsetOf(std::max(view()->anchor(), view()->cursor())));
}

int LiveViewAccessible::selectionCount() const
{
    return view()->hasSelection() ? 1 : 0;
}

void LiveViewAccessible::addSelection(int startOffset, int endOffset)
{
    setSelection(0, startOffset, endOffset);
}

void LiveViewAccessible::removeSelection(int selectionIndex)
{
    if (selectionIndex == 0)
        view()->setSelection(view()->cursor(), view()->cursor());
}

void LiveViewAccessible::setSelection(int selectionIndex, int startOffset, int endOffset)
{
    if (selectionIndex == 0)
        view()->setSelection(positionOf(startOffset), positionOf(endOffset));
}

int LiveViewAccessible::cursorPosition() const
{
    return int(offsetOf(view()->cursor()));
}

void LiveViewAccessible::setCursorPosition(int position)
{
    view()->setSelection(positionOf(position), positionOf(position));
}

QString LiveViewAccessible::text(int startOffset, int endOffset) const
{
    const qsizetype start = std::clamp<qsizetype>(startOffset, 0, count());
    const qsizetype end = std::clamp<qsizetype>(endOffset, start, count());
    return start == end ? QString() : view()->text(positionOf(start), positionOf(end));
}

LiveViewAccessible::Span LiveViewAccessible::spanAt(qsizetype offset,
                                                    QAccessible::TextBoundaryType boundary) const
{
    const qsizetype total = count();
    if (boundary == QAccessible::NoBoundary)
        return {0, total};
    const LiveView::Position at = positionOf(offset);
    const qsizetype lineStart = lineStarts()[size_t(at.line)];
    const QString line = view()->lineText(at.line);
    if (boundary == QAccessible::LineBoundary || boundary == QAccessible::ParagraphBoundary)
        return {lineStart, std::min(total, lineStart + line.size() + 1)};
    // The line end is a unit of its own.
    if (at.column >= line.size())
        return {offset, std::min(total, offset + 1)};
    const QTextBoundaryFinder::BoundaryType type =
        boundary == QAccessible::WordBoundary       ? QTextBoundaryFinder::Word
        : boundary == QAccessible::SentenceBoundary ? QTextBoundaryFinder::Sentence
                                                    : QTextBoundaryFinder::Grapheme;
    QTextBoundaryFinder finder(type, line);
    finder.setPosition(at.column);
    const qsizetype start =
        finder.isAtBoundary() ? at.column : std::max<qsizetype>(0, finder.toPreviousBoundary());
    finder.setPosition(at.column);
    const qsizetype end = finder.toNextBoundary();
    return {lineStart + start, lineStart + (end < 0 ? line.size() : end)};
}

QString LiveViewAccessible::textOf(Span span, int* startOffset, int* endOffset) const
{
    *startOffset = int(span.first);
    *endOffset = int(span.second);
    return text(*startOffset, *endOffset);
}

QString LiveViewAccessible::textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                         int* startOffset, int* endOffset) const
{
    const qsizetype total = count();
    const bool byLine = boundaryType == QAccessible::LineBoundary ||
                        boundaryType == QAccessible::ParagraphBoundary ||
                        boundaryType == QAccessible::NoBoundary;
    if (offset < 0 || offset > total || (offset == total && !byLine))
        return textOf({std::clamp<qsizetype>(offset, 0, total), std::clamp<qsizetype>(offset, 0, total)},
                      startOffset, endOffset);
    return textOf(spanAt(offset, boundaryType), startOffset, endOffset);
}

QString LiveViewAccessible::textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                             int* startOffset, int* endOffset) const
{
    const qsizetype start = spanAt(std::clamp<qsizetype>(offset, 0, count()), boundaryType).first;
    if (start <= 0 || boundaryType == QAccessible::NoBoundary)
        return textOf({0, 0}, startOffset, endOffset);
    return textOf(spanAt(start - 1, boundaryType), startOffset, endOffset);
}

QString LiveViewAccessible::textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                            int* startOffset, int* endOffset) const
{
    const qsizetype total = count();
    const qsizetype end = spanAt(std::clamp<qsizetype>(offset, 0, total), boundaryType).second;
    if (end >= total || boundaryType == QAccessible::NoBoundary)
        return textOf({total, total}, startOffset, endOffset);
    return textOf(spanAt(end, boundaryType), startOffset, endOffset);
}

int LiveViewAccessible::characterCount() const
{
    return int(count());
}

QRect LiveViewAccessible::characterRect(int offset) const
{
    const QRect inViewport = view()->characterRect(positionOf(offset));
    if (inViewport.isEmpty())
        return {};
    return {view()->viewport()->mapToGlobal(inViewport.topLeft()), inViewport.size()};
}

int LiveViewAccessible::offsetAtPoint(const QPoint& point) const
{
    const QPoint inViewport = view()->viewport()->mapFromGlobal(point);
    if (!view()->viewport()->rect().contains(inViewport))
        return -1;
    return int(offsetOf(view()->positionAt(inViewport)));
}

void LiveViewAccessible::scrollToSubstring(int startIndex, int endIndex)
{
    view()->ensureVisible(positionOf(endIndex));
    view()->ensureVisible(positionOf(startIndex));
}

// One font and colour throughout.
QString LiveViewAccessible::attributes(int offset, int* startOffset, int* endOffset) const
{
    Q_UNUSED(offset);
    *startOffset = 0;
    *endOffset = int(count());
    return {};
}
