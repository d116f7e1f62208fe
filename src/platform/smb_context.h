#pragma once

#include "platform/share_logins.h"

#include <QHash>
#include <QMutex>
#include <QObject>
#include <QSet>
#include <QThread>
#include <functional>
#include <memory>
#include <mutex>

struct _SMBCCTX;
using SMBCCTX = struct _SMBCCTX;

// The program's one libsmbclient context. The library is not thread-safe, so every call into it runs on
// one thread of its own, whichever thread asks. The thread and the context come with the first call and
// are torn down with this object.
class SmbContext
{
public:
    // How long the library waits for a connection or an answer before it reports the server as gone.
    static constexpr int timeoutMs = 4000;

    SmbContext();
    ~SmbContext();
    SmbContext(const SmbContext&) = delete;
    SmbContext& operator=(const SmbContext&) = delete;

    // Runs call with the context on the library's thread and waits for it. call returns 0 or an errno
    // value; so does run, which also fails when the library could not be set up or is torn down.
    int run(const std::function<int(SMBCCTX*)>& call);

    // The authentication callback reads these, on the library's thread. A share without a login is
    // tried anonymously (as a guest) first.
    void remember(const QString& server, const QString& share, const ShareLogin& login);
    bool hasLogin(const QString& server, const QString& share) const;
    // After a share refused the anonymous login: from now on it is offered the user's Kerberos ticket,
    // when the user has one and has given no login. False when there is nothing new to try.
    bool offerKerberos(const QString& server, const QString& share);
    // The share refused the ticket too: back to the anonymous login until the user gives one.
    void withdrawKerberos(const QString& server, const QString& share);

private:
    SMBCCTX* context();
    static void authenticate(SMBCCTX* context, const char* server, const char* share, char* workgroup,
                             int workgroupSize, char* user, int userSize, char* password, int passwordSize);
    static QString key(const QString& server, const QString& share);
    static bool hasKerberosTicket();
    static QString localUserName();

    QThread m_thread;
    std::once_flag m_threadStarted;
    // Lives on m_thread; calls are queued to it.
    std::unique_ptr<QObject> m_receiver;
    // Touched on the library's thread only.
    SMBCCTX* m_context = nullptr;
    int m_setUpErrno = 0;
    bool m_tornDown = false;

    mutable QMutex m_loginsMutex;
    QHash<QString, ShareLogin> m_logins;
    QSet<QString> m_kerberosShares;
    QSet<QString> m_kerberosTried;
};
