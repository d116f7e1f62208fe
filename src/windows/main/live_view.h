#pragma once

#include <QByteArray>
#include <QPlainTextEdit>
#include <optional>

class QTextDocument;

// The live log view, which doubles as the main window's status line. It shows text as plain text only.
//
// Laying out a large log is by far the most expensive part of a refresh, so the view avoids it: it
// remembers the bytes of the log it shows, leaves itself alone when a read brings the same bytes
// (scroll position and selection survive), lays out only the new entries when other copies have posted
// in front, and keeps the laid-out log aside while a status text shows.
class LiveView final : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit LiveView(QWidget* parent);

    void showLog(const QByteArray& log);
    void showStatus(const QString& text);

    // The log bytes on display; nothing while a status text shows.
    const std::optional<QByteArray>& shownLog() const { return m_shownLog; }

private:
    bool showGrowth(const QByteArray& log);
    void replaceLog(const QByteArray& log);
    void scrollToFirstLine();

    QTextDocument* m_logDocument;
    QTextDocument* m_statusDocument;
    // The bytes m_logDocument holds, whether it is on display or kept aside.
    QByteArray m_logBytes;
    std::optional<QByteArray> m_shownLog;
};
