#include "platform/files/system_file_access.h"

#include "platform/files/local_file_access.h"

#if defined(Q_OS_WIN)
#include "platform/files/no_share_logins.h"

struct SystemFileAccess::Backends
{
    LocalFileAccess local;
    FileAccess& files = local;
    ShareLogins& logins = NoShareLogins::shared();
};
#else
#include "platform/files/routing_file_access.h"
#include "platform/files/smb_file_access.h"

struct SystemFileAccess::Backends
{
    LocalFileAccess local;
    SmbFileAccess serverShares;
    RoutingFileAccess routing{local, serverShares};
    FileAccess& files = routing;
    ShareLogins& logins = serverShares;
};
#endif

SystemFileAccess::SystemFileAccess()
    : m_backends(std::make_unique<Backends>())
{}

SystemFileAccess::~SystemFileAccess() = default;

FileAccess& SystemFileAccess::files()
{
    return m_backends->files;
}

ShareLogins& SystemFileAccess::logins()
{
    return m_backends->logins;
}
