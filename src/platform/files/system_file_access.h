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
    // Whether a call to a file server that did not answer was given up on and may still be at work: the
    // program then ends without tearing down what it uses.
    bool callsLeftRunning() const;

private:
    struct Backends;
    std::unique_ptr<Backends> m_backends;
};
