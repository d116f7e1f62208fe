#pragma once

#include "platform/files/file_access.h"
#include "platform/files/share_logins.h"

#include <memory>

// The files and file-server logins of the running program: the platform's own file API, and off Windows
// libsmbclient for \\SERVER\Share paths.
class SystemFileAccess
{
public:
    SystemFileAccess();
    ~SystemFileAccess();
    SystemFileAccess(const SystemFileAccess&) = delete;
    SystemFileAccess& operator=(const SystemFileAccess&) = delete;

    FileAccess& files();
    ShareLogins& logins();

private:
    struct Backends;
    std::unique_ptr<Backends> m_backends;
};
