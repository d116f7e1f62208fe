#pragma once

#include <QFont>
#include <QString>
#include <vector>

// Where the characters of a long log line lie across the view, worked out without laying out the line.
//
// Laying out a line shapes all of it, which for a line of megabytes (a log that never got a line end)
// takes seconds at every paint. A long line is therefore measured by adding up the advances of its
// characters, which leaves out kerning, and only the part of it on screen is laid out, at the place that
// measure gives it. Short lines are laid out whole, exactly.
//
// The last long line asked for is kept decoded and measured, until the log or the font changes.
class LongLines
{
public:
    // Up to this many characters a line is laid out whole.
    static constexpr qsizetype shortLine = 2000;

    static bool isLong(const QString& line) { return line.size() > shortLine; }

    void setFont(const QFont& font);
    // The log changed: what is kept belongs to lines that may be others now.
    void forget();

    // The decoded text of line index: the long line kept, or decode()'s, which is kept when it is long.
    template <typename Decode> QString text(qsizetype index, Decode decode)
    {
        if (index == m_index)
            return m_text;
        QString decoded = decode();
        if (isLong(decoded)) {
            forget();
            m_index = index;
            m_text = decoded;
        }
        return decoded;
    }

    // What of a long line is laid out: the characters from `from` on, `count` of them, starting at x.
    struct Part
    {
        qsizetype from = 0;
        qsizetype count = 0;
        qreal x = 0;
        // Whether the part goes on to the line's end.
        bool reachesEnd = true;
    };
    // Of the long line asked for last:
    // the part that covers the pixels from left to right of it.
    Part around(qreal left, qreal right);
    // the part that holds column and some characters either side.
    Part aroundColumn(qsizetype column);

    qreal xOf(qsizetype column);
    qreal width() { return xOf(m_text.size()); }

private:
    qreal advance(QChar character) const;
    qreal advances(const QChar* from, const QChar* to) const;
    void measure();
    qsizetype columnAt(qreal x);
    Part part(qsizetype first, qsizetype end);

    QFont m_font;
    // Per UTF-16 unit, measured on first use; negative while unmeasured.
    mutable std::vector<qreal> m_advances;
    qsizetype m_index = -1;
    QString m_text;
    // Where every block of characters starts across the line.
    std::vector<qreal> m_blockStarts;
};
