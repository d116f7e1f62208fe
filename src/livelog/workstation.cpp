#include "livelog/workstation.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QSysInfo>
#include <thread>

namespace LiveLog {

void SystemClock::sleep(std::chrono::milliseconds duration)
{
    std::this_thread::sleep_for(duration);
}

Writer Writer::ofThisProcess()
{
    // The boot's identity where the system has one (Linux), else the installation's (Windows).
    QByteArray identity = QSysInfo::bootUniqueId();
    if (identity.isEmpty())
        identity = QSysInfo::machineUniqueId();
    const QString machine =
        identity.isEmpty()
            ? QString()
            : QString::fromLatin1(
                  QCryptographicHash::hash(identity, QCryptographicHash::Sha1).toHex().left(12));
    return Writer{QSysInfo::machineHostName(), machine, QCoreApplication::applicationPid()};
}

QString Writer::fileTag() const
{
    QString tag = host.isEmpty() ? QStringLiteral("host") : host;
    for (QChar& character : tag) {
        if (!(character.isLetterOrNumber() && character.unicode() < 0x80) && character != QLatin1Char('-'))
            character = QLatin1Char('_');
    }
    if (!machine.isEmpty())
        tag += QLatin1Char('-') + machine;
    return tag + QLatin1Char('-') + QString::number(process);
}

std::optional<qint64> Writer::processOnThisMachine(const QString& tag) const
{
    if (machine.isEmpty())
        return std::nullopt;
    const QString machinePart = Writer{host, machine, 0}.fileTag().chopped(1);
    if (!tag.startsWith(machinePart))
        return std::nullopt;
    bool isNumber = false;
    const qint64 processId = tag.mid(machinePart.size()).toLongLong(&isNumber);
    if (!isNumber || processId <= 0)
        return std::nullopt;
    return processId;
}

bool Writer::isOnThisMachine(const QString& otherHost, const QString& otherMachine) const
{
    return !machine.isEmpty() && otherHost == host && otherMachine == machine;
}

Workstation::Workstation(Writer self, std::shared_ptr<Clock> clock, std::shared_ptr<ProcessProbe> processes)
    : m_self(std::move(self))
    , m_clock(std::move(clock))
    , m_processes(std::move(processes))
{}

void Workstation::doubt(const QString& lockPath, const QByteArray& content)
{
    const QMutexLocker locker(&m_mutex);
    m_doubts.insert(lockPath, content);
}

bool Workstation::inDoubt(const QString& lockPath) const
{
    const QMutexLocker locker(&m_mutex);
    return m_doubts.contains(lockPath);
}

std::optional<QByteArray> Workstation::takeDoubt(const QString& lockPath)
{
    const QMutexLocker locker(&m_mutex);
    const auto found = m_doubts.constFind(lockPath);
    if (found == m_doubts.cend())
        return std::nullopt;
    QByteArray content = *found;
    m_doubts.erase(found);
    return content;
}

qint64 Workstation::firstSeen(const QString& lockPath, const LockState& state, qint64 serverNow)
{
    const QMutexLocker locker(&m_mutex);
    Sighting& seen = m_sightings[lockPath];
    if (seen.lock != state || serverNow < seen.firstSeen)
        seen = {state, serverNow};
    return seen.firstSeen;
}

} // namespace LiveLog
