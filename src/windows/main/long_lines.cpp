#include "windows/main/long_lines.h"

#include <QFontMetricsF>
#include <algorithm>

namespace {

constexpr qsizetype blockSize = 1024;
// Characters laid out beyond each side of what is on screen, so that a part never ends in view.
constexpr qsizetype spare = 200;

} // namespace

void LongLines::setFont(const QFont& font)
{
    m_font = font;
    m_advances.assign(0x10000, -1);
    forget();
}

void LongLines::forget()
{
    m_index = -1;
    m_text.clear();
    m_blockStarts.clear();
}

qreal LongLines::advance(QChar character) const
{
    qreal& known = m_advances[character.unicode()];
    if (known < 0) [[unlikely]]
        known = QFontMetricsF(m_font).horizontalAdvance(character);
    return known;
}

qreal LongLines::advances(const QChar* from, const QChar* to) const
{
    const qreal* const known = m_advances.data();
    qreal sum = 0;
    for (const QChar* character = from; character < to; ++character) {
        const qreal width = known[character->unicode()];
        sum += width >= 0 ? width : advance(*character);
    }
    return sum;
}

void LongLines::measure()
{
    if (!m_blockStarts.empty())
        return;
    const QChar* const characters = m_text.constData();
    const qsizetype size = m_text.size();
    m_blockStarts.reserve(size / blockSize + 2);
    qreal x = 0;
    for (qsizetype start = 0; start < size; start += blockSize) {
        m_blockStarts.push_back(x);
        x += advances(characters + start, characters + std::min(start + blockSize, size));
    }
    m_blockStarts.push_back(x);
}

qreal LongLines::xOf(qsizetype column)
{
    measure();
    column = std::clamp<qsizetype>(column, 0, m_text.size());
    const qsizetype block = column / blockSize;
    if (block >= qsizetype(m_blockStarts.size()) - 1)
        return m_blockStarts.back();
    return m_blockStarts[block] +
           advances(m_text.constData() + block * blockSize, m_text.constData() + column);
}

qsizetype LongLines::columnAt(qreal x)
{
    measure();
    const auto after = std::upper_bound(m_blockStarts.begin(), m_blockStarts.end() - 1, x);
    const qsizetype block = std::max<qsizetype>(0, (after - m_blockStarts.begin()) - 1);
    qreal reached = m_blockStarts[block];
    for (qsizetype i = block * blockSize; i < m_text.size(); ++i) {
        reached += advance(m_text.at(i));
        if (reached > x)
            return i;
    }
    return m_text.size();
}

// Never starts between the two halves of a surrogate pair.
LongLines::Part LongLines::part(qsizetype first, qsizetype end)
{
    first = std::clamp<qsizetype>(first, 0, m_text.size());
    if (first > 0 && first < m_text.size() && m_text.at(first).isLowSurrogate())
        --first;
    end = std::clamp<qsizetype>(end, first, m_text.size());
    return {first, end - first, xOf(first), end == m_text.size()};
}

LongLines::Part LongLines::around(qreal left, qreal right)
{
    return part(columnAt(left) - spare, columnAt(right) + spare);
}

LongLines::Part LongLines::aroundColumn(qsizetype column)
{
    return part(column - spare, column + spare);
}
