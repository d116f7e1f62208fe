#include "livelog/stale_rule.h"

#include "livelog/workstation.h"

namespace LiveLog {

StaleRule::Process StaleRule::asked(qint64 process) const
{
    if (process == m_station.self().process)
        return Process::running;
    return m_station.processRunning(process) ? Process::running : Process::ended;
}

StaleRule::Process StaleRule::holder(const QString& host, const QString& machine, qint64 process) const
{
    if (!m_station.self().isOnThisMachine(host, machine) || process <= 0)
        return Process::elsewhere;
    return asked(process);
}

StaleRule::Process StaleRule::tagged(const QString& tag) const
{
    const std::optional<qint64> process = m_station.self().processOnThisMachine(tag);
    return process ? asked(*process) : Process::elsewhere;
}

bool StaleRule::leftBehind(FileAccess& files, const QString& path, const QString& tag, qint64 serverNow) const
{
    if (const Process process = tagged(tag); process != Process::elsewhere)
        return process == Process::ended;
    const FileTimeResult written = files.modificationTime(path);
    return !written.error.failed() && agedPast(written.msecsSinceEpoch, serverNow);
}

} // namespace LiveLog
