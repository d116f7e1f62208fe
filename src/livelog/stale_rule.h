#pragma once

#include "platform/files/file_access.h"

#include <chrono>

namespace LiveLog {

class Workstation;

// Whether the writer behind a lock, or behind a file it left beside the log, is gone. A process of this
// machine can be asked; another host's cannot, and its clock is its own, so only the file's age on the
// file server's clock tells.
class StaleRule
{
public:
    StaleRule(const Workstation& station, std::chrono::milliseconds staleAfter)
        : m_station(station)
        , m_staleAfter(staleAfter)
    {}

    enum class Process
    {
        ended,
        // This process counts as running.
        running,
        // Not one of this machine's, or none named: it cannot be asked.
        elsewhere,
    };
    // The process that a lock names.
    Process holder(const QString& host, const QString& machine, qint64 process) const;
    // The process that a writer tag in a file name names.
    Process tagged(const QString& tag) const;

    // Older than a lock that nobody refreshes; both times by the file server's clock.
    bool agedPast(qint64 since, qint64 serverNow) const
    {
        return since <= serverNow && serverNow - since > m_staleAfter.count();
    }
    // A temporary file, clock probe or lock in the making of the writer with that tag, while this process
    // holds the lock: no writer at work owns one older than the stale age.
    bool leftBehind(FileAccess& files, const QString& path, const QString& tag, qint64 serverNow) const;

private:
    Process asked(qint64 process) const;

    const Workstation& m_station;
    const std::chrono::milliseconds m_staleAfter;
};

} // namespace LiveLog
