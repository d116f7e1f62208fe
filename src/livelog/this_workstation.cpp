#include "livelog/this_workstation.h"

#include "platform/files/native_file_ops.h"

namespace LiveLog {

bool NativeProcessProbe::running(qint64 processId) const
{
    return NativeFileOps::processRunning(processId);
}

std::shared_ptr<Workstation> thisWorkstation()
{
    return std::make_shared<Workstation>(Writer::ofThisProcess(), std::make_shared<SystemClock>(),
                                         std::make_shared<NativeProcessProbe>());
}

} // namespace LiveLog
