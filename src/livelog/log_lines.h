#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

// The lines of the live log's bytes, found once per read (on the reading thread, so that a view only takes
// them over), so that a view can decode and lay out only the lines it shows. Nothing here is widgets. Lines
// end at CR LF, a lone CR or a lone LF, as in a text field; text after the last line end is one more line,
// empty when the bytes end with a line end.
//
// Every post adds its entry in front and one line end at the very end, so the index grows only at its
// front, and the empty lines at the end are only counted.
class LogLines
{
public:
    // The memory of a log no longer shown, for the next read to reuse: the buffer to read into, and the
    // room of its index. Large buffers go back to the system when freed, so a new one costs fresh pages.
    struct Memory
    {
        QByteArray bytes;
        std::vector<qsizetype> starts;
    };

    LogLines();

    // The lines of memory.bytes, in memory's room. When the bytes are previous's with posts in front,
    // previous's index is taken over and linesInFront tells how many lines came; otherwise it is empty.
    static LogLines indexed(Memory memory, const LogLines* previous, std::optional<qsizetype>& linesInFront);
    // Leaves this empty.
    Memory release();

    void assign(const QByteArray& bytes);

    const QByteArray& bytes() const { return m_bytes; }
    qsizetype count() const { return coreLines() + m_trailingLineEnds; }
    QString line(qsizetype index) const;
    // Lines first to last, decoded and joined by LF.
    QString text(qsizetype first, qsizetype last) const;
    // The line of the most bytes: nearly always the widest on screen as well.
    qsizetype longest() const { return m_longest; }

private:
    // Whether bytes are previous's with posts in front: k posts since the last read make the new log the k
    // new entries, the old log, then k more line ends. Then this takes them with previous's index and only
    // the new parts indexed, and returns how many lines came in front.
    std::optional<qsizetype> follow(const LogLines& previous, const QByteArray& bytes);
    qsizetype coreLines() const { return qsizetype(m_reversedStarts.size()); }
    qsizetype coreSize() const;
    qsizetype start(qsizetype index) const;
    qsizetype end(qsizetype index) const;
    qsizetype length(qsizetype index) const { return end(index) - start(index); }
    qsizetype longestOf(qsizetype first, qsizetype last) const;

    QByteArray m_bytes;
    // Where the lines before the trailing line ends start, last line first so that posts only append;
    // each less m_shift, which grows by the size of every front added since.
    std::vector<qsizetype> m_reversedStarts;
    qsizetype m_shift = 0;
    qsizetype m_trailingLineEnds = 0;
    qsizetype m_longest = 0;
};

// A log read and indexed, ready to take the place of base on display.
struct IndexedLog
{
    std::shared_ptr<const LogLines> lines;
    // What it was indexed against; linesInFront tells how many lines came in front of it, and is empty
    // when the log was indexed whole.
    std::shared_ptr<const LogLines> base;
    std::optional<qsizetype> linesInFront;

    // The bytes in memory, ready to take shown's place: shown itself when it holds the very bytes (memory is
    // then left as it was), else indexed against shown in memory's room. The lines are never made const,
    // so that their memory can be lent to a later read once nothing shows them.
    static IndexedLog of(LogLines::Memory& memory, const std::shared_ptr<const LogLines>& shown);
    static IndexedLog same(const std::shared_ptr<const LogLines>& shown)
    {
        return {shown, shown, std::nullopt};
    }

    const QByteArray& bytes() const { return lines->bytes(); }
};
