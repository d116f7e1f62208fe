#pragma once

#include "platform/files/no_share_logins.h"
#include "platform/window_order/null_window_order.h"

#include <memory>

class FileAccess;
class MessageReporter;
class SettingsStore;

// The platform operations the windows work through; tests hand in their own.
struct ProgramServices
{
    SettingsStore& settingsStore;
    // Shared with the file work, which may outlive a window while a share does not answer.
    std::shared_ptr<FileAccess> files;
    MessageReporter& messages;
    // Callers that never keep windows on top may leave it out.
    WindowOrder& windowOrder = NullWindowOrder::shared();
    // Logins for file servers reached without the platform's own file API.
    ShareLogins& logins = NoShareLogins::shared();
};
