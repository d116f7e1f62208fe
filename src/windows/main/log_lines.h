#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

// The lines of the live log's bytes, found once per read, so that a view can decode and lay out only the
// lines it shows. Lines end at CR LF, a lone CR or a lone LF, as in a text field; text after the last
// line end is one more line, empty when the bytes end with a line end.
class LogLines
{
public:
    LogLines();

    void assign(const QByteArray& bytes);
    // Posts only add in front and at the end: k posts since the last read make the new log the k new
    // entries, the old log, then k more line ends. For such bytes only the new parts are indexed and the
    // number of lines that came in front is returned; for any other bytes nothing changes.
    std::optional<qsizetype> grow(const QByteArray& bytes);

    const QByteArray& bytes() const { return m_bytes; }
    qsizetype count() const { return qsizetype(m_starts.size()); }
    QString line(qsizetype index) const;
    // Lines first to last, decoded and joined by LF.
    QString text(qsizetype first, qsizetype last) const;
    // The line of the most bytes: nearly always the widest on screen as well.
    qsizetype longest() const { return m_longest; }

private:
    qsizetype lineEnd(qsizetype index) const;
    qsizetype length(qsizetype index) const;
    qsizetype longestOf(qsizetype first, qsizetype last) const;

    QByteArray m_bytes;
    // Where each line starts; the first always at 0.
    std::vector<qsizetype> m_starts;
    qsizetype m_longest = 0;
};
