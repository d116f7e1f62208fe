#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QProcess>
#include <memory>
#include <optional>
#include <vector>

// Helpers for tests that run writers in processes of their own (post_helper) and check what they left.
namespace WriterProcesses {

// The entries of a whole log, newest first, or nothing when the bytes are not a log that a sequence
// of complete rewrites can leave: every entry followed by the separator pair, then one CR LF for the
// clear and one for every post.
inline std::optional<QList<QByteArray>> entriesOf(const QByteArray& log)
{
    static const QByteArray separators(" \r\n \r\n");
    QList<QByteArray> entries;
    qsizetype at = 0;
    while (!log.mid(at).startsWith("\r\n")) {
        const qsizetype end = log.indexOf(separators, at);
        if (end <= at || log.mid(at, end - at).contains('\n'))
            return std::nullopt;
        entries.append(log.mid(at, end - at));
        at = end + separators.size();
    }
    if (log.mid(at) != QByteArray("\r\n").repeated(entries.size() + 1))
        return std::nullopt;
    return entries;
}

// Each writer's entries, "PREFIXn-COUNT" down to "PREFIXn-1", exactly once and newest first.
inline bool eachWriterPostedInOrder(const QList<QByteArray>& entries, int writers, int postsEach)
{
    QList<int> next(writers, postsEach);
    for (const QByteArray& entry : entries) {
        const QList<QByteArray> parts = entry.mid(1).split('-');
        if (parts.size() != 2)
            return false;
        const int writer = parts.at(0).toInt();
        if (writer < 0 || writer >= writers || parts.at(1).toInt() != next[writer]--)
            return false;
    }
    return next == QList<int>(writers, 0);
}

inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

inline std::unique_ptr<QProcess> start(const QString& program, const QStringList& arguments)
{
    auto helper = std::make_unique<QProcess>();
    helper->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    helper->start(program, arguments);
    return helper;
}

inline bool waitForLine(QProcess& process, const QByteArray& line)
{
    while (!process.canReadLine()) {
        if (!process.waitForReadyRead(10000))
            return false;
    }
    return process.readLine().trimmed() == line;
}

// Writers that each post "w<n>-1" .. "w<n>-<postsEach>" to one share (post_helper posts), started
// together so that their posts really overlap.
class Posters
{
public:
    Posters(const QString& program, const QString& share, int writers, int postsEach)
    {
        for (int writer = 0; writer < writers; ++writer) {
            m_helpers.push_back(
                start(program, {QStringLiteral("posts"), share, QStringLiteral("w%1").arg(writer),
                                QString::number(postsEach)}));
        }
    }

    bool allReady()
    {
        for (auto& helper : m_helpers) {
            if (!waitForLine(*helper, "ready"))
                return false;
        }
        return true;
    }

    // QProcess sends only while something waits on it: each "go" goes out before the next.
    bool go()
    {
        for (auto& helper : m_helpers) {
            helper->write("go\n");
            if (!helper->waitForBytesWritten(10000))
                return false;
        }
        return true;
    }

    // How many posts were refused and tried again in all, once every writer has finished; nothing
    // when one failed, with why.
    std::optional<int> refusedWhenDone(int timeoutMs, QByteArray* why)
    {
        int refused = 0;
        for (auto& helper : m_helpers) {
            if (!helper->waitForFinished(timeoutMs) || helper->exitCode() != 0) {
                *why = "a writer failed or did not finish";
                return std::nullopt;
            }
            const QByteArray summary = helper->readAllStandardOutput().trimmed();
            if (!summary.startsWith("refused ")) {
                *why = summary;
                return std::nullopt;
            }
            refused += summary.mid(8).toInt();
        }
        return refused;
    }

private:
    std::vector<std::unique_ptr<QProcess>> m_helpers;
};

} // namespace WriterProcesses
