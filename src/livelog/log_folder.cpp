#include "livelog/log_folder.h"

#include "livelog/live_log_format.h"
#include "livelog/workstation.h"

#include <array>
#include <utility>

namespace LiveLog {

namespace {

// Each of them follows the writer's tag.
const std::array<std::pair<QLatin1String, LogFolder::Kind>, 3> taggedSuffixes{{
    {QLatin1String(".TMP"), LogFolder::Kind::temporary},
    {QLatin1String(".CLOCK"), LogFolder::Kind::clockProbe},
    {QLatin1String(".NEWLOCK"), LogFolder::Kind::newLock},
}};

} // namespace

LogFolder LogFolder::ofShare(const QString& shareLocation)
{
    return LogFolder(LiveLogFormat::liveLogPath(shareLocation));
}

QString LogFolder::tagged(const Writer& writer, const QString& suffix) const
{
    return m_log + QLatin1Char('.') + writer.fileTag() + suffix;
}

QString LogFolder::temporary(const Writer& writer) const
{
    return tagged(writer, taggedSuffixes[0].first);
}

QString LogFolder::clockProbe(const Writer& writer) const
{
    return tagged(writer, taggedSuffixes[1].first);
}

QString LogFolder::newLock(const Writer& writer) const
{
    return tagged(writer, taggedSuffixes[2].first);
}

QString LogFolder::siblingPrefix()
{
    return LiveLogFormat::fileName.mid(1) + QLatin1Char('.');
}

QString LogFolder::pathOf(const QString& siblingName) const
{
    return m_log.chopped(LiveLogFormat::fileName.size() - 1) + siblingName;
}

LogFolder::Sibling LogFolder::classify(const QString& siblingName)
{
    const QString prefix = siblingPrefix();
    if (siblingName == prefix + QLatin1String("LOCK"))
        return {Kind::lock, {}};
    if (siblingName == prefix + QLatin1String("LOCK.BREAK"))
        return {Kind::lockBreaker, {}};
    if (siblingName == prefix + QLatin1String("OLD"))
        return {Kind::aside, {}};
    const qsizetype tagStart = prefix.size();
    for (const auto& [suffix, kind] : taggedSuffixes) {
        // A name as short as the prefix and the suffix together holds no tag.
        if (siblingName.endsWith(suffix) && siblingName.size() > tagStart + suffix.size())
            return {kind, siblingName.mid(tagStart, siblingName.size() - tagStart - suffix.size())};
    }
    return {};
}

} // namespace LiveLog
