#pragma once

#include "platform/files/share_logins.h"

#include <QHash>
#include <QMutex>
#include <QSet>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

struct _SMBCCTX;
using SMBCCTX = struct _SMBCCTX;

// The program's one libsmbclient context. The library is not thread-safe, so every call into it runs on
// one thread of its own, whichever thread asks, one call after the other. Reads take their turn behind
// posts too: a second context on a second thread would let them pass a call stuck on the server, but
// without the library's thread support (smbc_thread_posix, which Debian 12's libsmbclient does not
// export) every call shares one global talloc stack frame, and two threads inside the library at once
// would corrupt it. A call that waits behind a stuck one is given up on at the call limit instead.
class SmbContext
{
public:
    // How long the library waits for one answer before it reports the server as gone.
    static constexpr int timeoutMs = 4000;
    // How long a caller waits for its call in all, from the moment it asks. Against an established
    // connection the library's own checks and reconnects can take several of its timeouts, and a call
    // may have to wait for one stuck that way before it: it is then given up on, and a call given up on
    // before it started never runs.
    static constexpr int callLimitMs = timeoutMs + 500;

    SmbContext();
    ~SmbContext();
    SmbContext(const SmbContext&) = delete;
    SmbContext& operator=(const SmbContext&) = delete;

    // Runs call with the context on the library's thread and waits for it, at most callLimitMs. call
    // returns 0 or an errno value; so does run, which also fails when the library could not be set up,
    // and with ETIMEDOUT when the call was given up on. call may outlive this run, so it owns everything
    // it touches.
    int run(std::function<int(SMBCCTX*)> call);
    // Whether a call given up on may still be at work in the library.
    bool callsLeftRunning() const;

    // The authentication callback reads these, on the library's thread. A share without a login is tried
    // anonymously (as a guest) first.
    void remember(const QString& server, const QString& share, const ShareLogin& login);
    bool hasLogin(const QString& server, const QString& share) const;
    // After a share refused the anonymous login: from now on it is offered the user's Kerberos ticket,
    // when the user has one and has given no login. False when there is nothing new to try.
    bool offerKerberos(const QString& server, const QString& share);
    // The share refused the ticket too: back to the anonymous login until the user gives one.
    void withdrawKerberos(const QString& server, const QString& share);

private:
    struct Logins;
    struct Call;
    struct Worker;

    // Shared with the library's thread, which may be stuck in a call past this object's end.
    std::shared_ptr<Logins> m_logins;
    std::shared_ptr<Worker> m_worker;
    std::thread m_thread;
    std::once_flag m_threadStarted;
};
