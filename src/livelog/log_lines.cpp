#include "livelog/log_lines.h"

#include "livelog/live_log_format.h"
#include "text/code_page.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

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

// Calls found(start) with where each line of bytes starts after the first. memchr keeps this near the
// speed of memory, which a log of many megabytes needs.
template <typename Found> void forEachLineStart(QByteArrayView bytes, Found found)
{
    const char* const begin = bytes.data();
    const char* const end = begin + bytes.size();
    const auto next = [end](const char* from, char wanted) {
        const void* at = from < end ? std::memchr(from, wanted, std::size_t(end - from)) : nullptr;
        return at ? static_cast<const char*>(at) : end;
    };
    const char* lineFeed = next(begin, '\n');
    const char* carriageReturn = next(begin, '\r');
    while (lineFeed < end || carriageReturn < end) {
        const char* lineEnd = std::min(lineFeed, carriageReturn);
        const char* start = lineEnd + 1;
        if (lineEnd == carriageReturn && start == lineFeed && lineFeed < end)
            ++start;
        found(start - begin);
        if (lineFeed < start)
            lineFeed = next(start, '\n');
        if (carriageReturn < start)
            carriageReturn = next(start, '\r');
    }
}

// Where each line of bytes starts after the first, at 0, into starts (which keeps its room).
void lineStarts(QByteArrayView bytes, std::vector<qsizetype>& starts)
{
    // Counted first: a vector growing by doubling would need up to three times the memory for a while.
    qsizetype count = 0;
    forEachLineStart(bytes, [&count](qsizetype) { ++count; });
    starts.clear();
    starts.reserve(std::size_t(count) + 1);
    forEachLineStart(bytes, [&starts](qsizetype start) { starts.push_back(start); });
}

} // namespace

LogLines::LogLines()
    : m_reversedStarts{0}
{}

LogLines LogLines::indexed(Memory memory, const LogLines* previous, std::optional<qsizetype>& linesInFront)
{
    LogLines lines;
    lines.m_reversedStarts = std::move(memory.starts);
    linesInFront = previous ? lines.follow(*previous, memory.bytes) : std::nullopt;
    if (!linesInFront)
        lines.assign(memory.bytes);
    return lines;
}

LogLines::Memory LogLines::release()
{
    Memory memory{std::exchange(m_bytes, {}), std::exchange(m_reversedStarts, {0})};
    m_shift = 0;
    m_trailingLineEnds = 0;
    m_longest = 0;
    return memory;
}

void LogLines::assign(const QByteArray& bytes)
{
    m_bytes = bytes;
    m_trailingLineEnds = trailingLineEnds(m_bytes);
    m_shift = 0;
    lineStarts(QByteArrayView(m_bytes).first(coreSize()), m_reversedStarts);
    std::reverse(m_reversedStarts.begin(), m_reversedStarts.end());
    m_reversedStarts.push_back(0);
    m_longest = longestOf(0, coreLines() - 1);
}

std::optional<qsizetype> LogLines::follow(const LogLines& previous, const QByteArray& bytes)
{
    const qsizetype newEnds = trailingLineEnds(bytes);
    if (previous.m_bytes.isEmpty() || newEnds < previous.m_trailingLineEnds)
        return std::nullopt;
    const QByteArrayView oldCore = QByteArrayView(previous.m_bytes).first(previous.coreSize());
    const QByteArrayView newCore = QByteArrayView(bytes).chopped(newEnds * LiveLogFormat::lineEnd.size());
    if (!newCore.endsWith(oldCore))
        return std::nullopt;
    // Every post's front ends with the separator; anything else may join lines across the seam (a CR at
    // its end and an LF at the old log's start are one line end, not two).
    const QByteArrayView front = newCore.first(newCore.size() - oldCore.size());
    if (!front.endsWith(LiveLogFormat::separator))
        return std::nullopt;

    // The front's last line start is where the old first line now starts, which is indexed already.
    std::vector<qsizetype> frontStarts;
    lineStarts(front, frontStarts);
    frontStarts.pop_back();
    // Copied into this index's own room, with space for the front: the previous index stays as it is while
    // a view paints from it.
    m_reversedStarts.clear();
    m_reversedStarts.reserve(previous.m_reversedStarts.size() + frontStarts.size() + 1);
    m_reversedStarts.insert(m_reversedStarts.end(), previous.m_reversedStarts.begin(),
                            previous.m_reversedStarts.end());
    m_shift = previous.m_shift;
    m_longest = previous.m_longest;
    m_bytes = bytes;
    m_trailingLineEnds = newEnds;
    m_shift += front.size();
    for (auto frontStart = frontStarts.rbegin(); frontStart != frontStarts.rend(); ++frontStart)
        m_reversedStarts.push_back(*frontStart - m_shift);
    m_reversedStarts.push_back(-m_shift);

    // Added line ends only end empty lines or the old last line: only the front can hold a longer one.
    const qsizetype frontLines = qsizetype(frontStarts.size()) + 1;
    const qsizetype oldLongest = m_longest + frontLines;
    m_longest = longestOf(0, frontLines - 1);
    if (length(oldLongest) >= length(m_longest))
        m_longest = oldLongest;
    return frontLines;
}

QString LogLines::line(qsizetype index) const
{
    return CodePage::decode(m_bytes.sliced(start(index), length(index)));
}

QString LogLines::text(qsizetype first, qsizetype last) const
{
    QString text = CodePage::decode(m_bytes.sliced(start(first), end(last) - start(first)));
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

qsizetype LogLines::coreSize() const
{
    return m_bytes.size() - m_trailingLineEnds * LiveLogFormat::lineEnd.size();
}

// A trailing line end ends the line before it and starts an empty one.
qsizetype LogLines::start(qsizetype index) const
{
    if (index < coreLines())
        return m_reversedStarts[m_reversedStarts.size() - 1 - index] + m_shift;
    return coreSize() + (index - coreLines() + 1) * LiveLogFormat::lineEnd.size();
}

qsizetype LogLines::end(qsizetype index) const
{
    if (index >= coreLines())
        return start(index);
    if (index == coreLines() - 1)
        return coreSize();
    const qsizetype next = start(index + 1);
    const bool crLf = m_bytes.at(next - 1) == '\n' && next >= 2 && m_bytes.at(next - 2) == '\r';
    return next - (crLf ? 2 : 1);
}

qsizetype LogLines::longestOf(qsizetype first, qsizetype last) const
{
    qsizetype longest = first;
    for (qsizetype index = first + 1; index <= last; ++index)
        if (length(index) > length(longest))
            longest = index;
    return longest;
}

IndexedLog IndexedLog::of(LogLines::Memory& memory, const std::shared_ptr<const LogLines>& shown)
{
    if (shown && memory.bytes == shown->bytes())
        return same(shown);
    IndexedLog log{nullptr, shown, std::nullopt};
    log.lines = std::make_shared<LogLines>(
        LogLines::indexed(std::exchange(memory, {}), shown.get(), log.linesInFront));
    return log;
}
