#pragma once

#include <QString>
#include <utility>

namespace LiveLog {

struct Writer;

// The live log and every file that its writers put beside it, by name. All of them start with the log's
// name and a dot, so one listing of the folder finds them; those of one writer carry its tag.
class LogFolder
{
public:
    explicit LogFolder(QString logPath)
        : m_log(std::move(logPath))
    {}
    static LogFolder ofShare(const QString& shareLocation);

    const QString& log() const { return m_log; }
    QString lock() const { return m_log + QStringLiteral(".LOCK"); }
    QString lockBreaker() const { return lock() + QStringLiteral(".BREAK"); }
    // Where a writer whose file server cannot rename over a file moves the old log while the new one
    // takes its place; readers fall back to it while the log is missing.
    QString aside() const { return m_log + QStringLiteral(".OLD"); }
    // What a writer writes before it replaces the log with it.
    QString temporary(const Writer& writer) const;
    // Written and removed at once: its time is the file server's clock.
    QString clockProbe(const Writer& writer) const;
    // Where a backend without exclusive create of a whole file writes a lock before it takes its place.
    QString newLock(const Writer& writer) const;

    // What every file beside the log starts with.
    static QString siblingPrefix();
    // The path of a file found beside the log.
    QString pathOf(const QString& siblingName) const;

    enum class Kind
    {
        lock,
        lockBreaker,
        aside,
        temporary,
        clockProbe,
        newLock,
        // No writer's: anything else that starts with the log's name.
        other,
    };
    struct Sibling
    {
        Kind kind = Kind::other;
        // Of a temporary file, clock probe or lock in the making.
        QString writerTag;
    };
    static Sibling classify(const QString& siblingName);

private:
    QString tagged(const Writer& writer, const QString& suffix) const;

    QString m_log;
};

} // namespace LiveLog
