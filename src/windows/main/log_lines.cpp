#include "windows/main/log_lines.h"

#include "livelog/code_page.h"
#include "livelog/live_log_format.h"

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

// Adds where a line starts after each line end in bytes[from, to), offset by base.
void addLineStarts(QByteArrayView bytes, qsizetype from, qsizetype to, qsizetype base,
                   std::vector<qsizetype>& starts)
{
    const char* data = bytes.data();
    for (qsizetype i = from; i < to; ++i) {
        if (data[i] == '\n') {
            starts.push_back(base + i + 1);
        } else if (data[i] == '\r') {
            if (i + 1 < bytes.size() && data[i + 1] == '\n')
                ++i;
            starts.push_back(base + i + 1);
        }
    }
}

} // namespace

LogLines::LogLines()
    : m_starts{0}
{}

void LogLines::assign(const QByteArray& bytes)
{
    m_bytes = bytes;
    m_starts.assign(1, 0);
    addLineStarts(m_bytes, 0, m_bytes.size(), 0, m_starts);
    m_longest = longestOf(0, count() - 1);
}

std::optional<qsizetype> LogLines::grow(const QByteArray& bytes)
{
    const qsizetype oldEnds = trailingLineEnds(m_bytes);
    const qsizetype newEnds = trailingLineEnds(bytes);
    if (m_bytes.isEmpty() || newEnds < oldEnds)
        return std::nullopt;
    const qsizetype lineEndSize = LiveLogFormat::lineEnd.size();
    const QByteArrayView oldCore = QByteArrayView(m_bytes).chopped(oldEnds * lineEndSize);
    const QByteArrayView newCore = QByteArrayView(bytes).chopped(newEnds * lineEndSize);
    if (!newCore.endsWith(oldCore))
        return std::nullopt;
    // Every post's front ends with the separator; anything else may join lines across the seam (a CR at
    // its end and an LF at the old log's start are one line end, not two).
    const qsizetype frontSize = newCore.size() - oldCore.size();
    if (!newCore.first(frontSize).endsWith(LiveLogFormat::separator))
        return std::nullopt;

    std::vector<qsizetype> starts{0};
    addLineStarts(bytes, 0, frontSize, 0, starts);
    const qsizetype frontLines = qsizetype(starts.size()) - 1;
    starts.reserve(starts.size() + m_starts.size() + newEnds - oldEnds);
    for (auto start = m_starts.begin() + 1; start != m_starts.end(); ++start)
        starts.push_back(*start + frontSize);
    // The added line ends follow the old bytes; they start with a CR, so none joins the old last line end.
    addLineStarts(bytes, frontSize + m_bytes.size(), bytes.size(), 0, starts);

    const qsizetype oldLongest = m_longest + frontLines;
    m_bytes = bytes;
    m_starts = std::move(starts);
    // The added line ends only end empty lines or the old last line: only the front can hold a longer one.
    m_longest = longestOf(0, frontLines - 1);
    if (length(oldLongest) >= length(m_longest))
        m_longest = oldLongest;
    return frontLines;
}

QString LogLines::line(qsizetype index) const
{
    return CodePage::decode(m_bytes.sliced(m_starts[index], length(index)));
}

QString LogLines::text(qsizetype first, qsizetype last) const
{
    const qsizetype start = m_starts[first];
    QString text = CodePage::decode(m_bytes.sliced(start, lineEnd(last) - start));
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

qsizetype LogLines::lineEnd(qsizetype index) const
{
    if (index + 1 == count())
        return m_bytes.size();
    const qsizetype next = m_starts[index + 1];
    const bool crLf =
        next - 2 >= m_starts[index] && m_bytes.at(next - 1) == '\n' && m_bytes.at(next - 2) == '\r';
    return next - (crLf ? 2 : 1);
}

qsizetype LogLines::length(qsizetype index) const
{
    return lineEnd(index) - m_starts[index];
}

qsizetype LogLines::longestOf(qsizetype first, qsizetype last) const
{
    qsizetype longest = first;
    for (qsizetype index = first + 1; index <= last; ++index)
        if (length(index) > length(longest))
            longest = index;
    return longest;
}
