#pragma once

#include "platform/files/no_share_logins.h"
#include "platform/window_order/null_window_order.h"

#include <memory>

class FileAccess;
class MessageReporter;
class SettingsStore;
namespace LiveLog {
class Workstation;
} // namespace LiveLog

// The platform operations the windows work through; tests hand in their own.
struct ProgramServices
{
    SettingsStore& settingsStore;
    // Shared with the file work, which may outlive a window while a share does not answer.
    std::shared_ptr<FileAccess> files;
    // This program as a writer of the live log; the file work shares it too.
    std::shared_ptr<LiveLog::Workstation> workstation;
    MessageReporter& messages;
    // Callers that never keep windows on top may leave it out.
    WindowOrder& windowOrder = NullWindowOrder::shared();
    // Logins for file servers reached without the platform's own file API.
    ShareLogins& logins = NoShareLogins::shared();
};
