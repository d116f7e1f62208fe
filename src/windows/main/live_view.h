#pragma once

#include <QByteArray>
#include <QPlainTextEdit>

#include <optional>

// The live log view, which doubles as the main window's status line. It shows text as plain text only
// and remembers the bytes of the log it shows, so that a refresh that reads the same bytes leaves the
// view alone (scroll position and selection survive).
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
    std::optional<QByteArray> m_shownLog;
};
