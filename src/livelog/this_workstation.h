#pragma once

#include "livelog/workstation.h"

#include <memory>

namespace LiveLog {

// Asks the platform about this machine's processes.
class NativeProcessProbe final : public ProcessProbe
{
public:
    bool running(qint64 processId) const override;
};

// This process as a writer, on the system's clock. A program makes one and hands it to all its file work.
std::shared_ptr<Workstation> thisWorkstation();

} // namespace LiveLog
