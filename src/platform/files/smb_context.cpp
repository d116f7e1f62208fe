#include "platform/files/smb_context.h"

#include <QFileInfo>
#include <QMutexLocker>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <libsmbclient.h>
#include <pwd.h>
#include <thread>
#include <unistd.h>

namespace {

// Cut, if it must be, between characters, never inside one.
void copyInto(char* buffer, int size, const QString& text)
{
    if (size <= 0)
        return;
    QByteArray bytes = text.toUtf8();
    if (bytes.size() > size - 1) {
        qsizetype end = size - 1;
        while (end > 0 && (static_cast<unsigned char>(bytes.at(end)) & 0xC0) == 0x80)
            --end;
        bytes.truncate(end);
    }
    std::memcpy(buffer, bytes.constData(), bytes.size());
    buffer[bytes.size()] = '\0';
}

QString key(const QString& server, const QString& share)
{
    // Server and share names are not case-sensitive.
    return server.toLower() + QLatin1Char('/') + share.toLower();
}

// Kerberos keeps the ticket in the cache KRB5CCNAME names, by default a file named after the user.
bool hasKerberosTicket()
{
    const QString cache = qEnvironmentVariable("KRB5CCNAME");
    if (cache.isEmpty())
        return QFileInfo::exists(QStringLiteral("/tmp/krb5cc_%1").arg(::getuid()));
    if (cache.startsWith(QLatin1String("FILE:")))
        return QFileInfo::exists(cache.mid(5));
    // Keyring, KCM and other caches cannot be looked into from here; the server will tell.
    return !cache.startsWith(QLatin1Char('/')) || QFileInfo::exists(cache);
}

QString localUserName()
{
    if (const passwd* entry = ::getpwuid(::getuid()))
        return QString::fromLocal8Bit(entry->pw_name);
    return qEnvironmentVariable("USER");
}

} // namespace

struct SmbContext::Logins
{
    mutable QMutex mutex;
    QHash<QString, ShareLogin> byShare;
    QSet<QString> kerberosShares;
    QSet<QString> kerberosTried;

    static void authenticate(SMBCCTX* context, const char* server, const char* share, char* workgroup,
                             int workgroupSize, char* user, int userSize, char* password, int passwordSize);
};

void SmbContext::Logins::authenticate(SMBCCTX* context, const char* server, const char* share,
                                      char* workgroup, int workgroupSize, char* user, int userSize,
                                      char* password, int passwordSize)
{
    const auto* self = static_cast<const Logins*>(smbc_getOptionUserData(context));
    const QString shareKey = key(QString::fromUtf8(server), QString::fromUtf8(share));
    QMutexLocker locker(&self->mutex);
    const auto found = self->byShare.constFind(shareKey);
    if (found != self->byShare.cend()) {
        if (!found->domain.isEmpty())
            copyInto(workgroup, workgroupSize, found->domain);
        copyInto(user, userSize, found->user);
        copyInto(password, passwordSize, found->password);
        return;
    }
    // A named user without a password lets the library present the user's Kerberos ticket.
    const QString kerberosUser = self->kerberosShares.contains(shareKey) ? localUserName() : QString();
    // An empty user is an anonymous login, which a share open to guests accepts.
    copyInto(user, userSize, kerberosUser);
    copyInto(password, passwordSize, {});
}

// One call asked of the library's thread, shared by the caller and that thread.
struct SmbContext::Call
{
    std::function<int(SMBCCTX*)> work;
    int result = 0;
    bool started = false;
    bool done = false;
    bool givenUp = false;
};

// The library's thread and its queue of calls; it creates the context on its first call.
struct SmbContext::Worker
{
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::shared_ptr<Call>> queue;
    bool ending = false;
    int givenUpWhileRunning = 0;

    static void work(std::shared_ptr<Worker> worker, std::shared_ptr<Logins> logins);
};

namespace {

SMBCCTX* newContext(void* logins, smbc_get_auth_data_with_context_fn authenticate, int& setUpErrno)
{
    SMBCCTX* created = smbc_new_context();
    if (!created) {
        setUpErrno = errno ? errno : ENOMEM;
        return nullptr;
    }
    smbc_setOptionUserData(created, logins);
    smbc_setFunctionAuthDataWithContext(created, authenticate);
    smbc_setTimeout(created, SmbContext::timeoutMs);
    // A ticket the user already has is used; without one the login falls back to what the
    // authentication callback gives.
    smbc_setOptionUseKerberos(created, true);
    smbc_setOptionFallbackAfterKerberos(created, true);
    smbc_setOptionUseCCache(created, true);
    if (!smbc_init_context(created)) {
        setUpErrno = errno ? errno : EINVAL;
        smbc_free_context(created, 0);
        return nullptr;
    }
    return created;
}

} // namespace

void SmbContext::Worker::work(std::shared_ptr<Worker> worker, std::shared_ptr<Logins> logins)
{
    SMBCCTX* context = nullptr;
    int setUpErrno = 0;
    std::unique_lock lock(worker->mutex);
    for (;;) {
        worker->changed.wait(lock, [&] { return !worker->queue.empty() || worker->ending; });
        if (worker->queue.empty())
            break;
        const std::shared_ptr<Call> call = std::move(worker->queue.front());
        worker->queue.pop_front();
        if (call->givenUp)
            continue;
        call->started = true;
        lock.unlock();
        // Created on first use, so a program that never reaches a file server never reads the library's
        // configuration.
        if (!context && !setUpErrno)
            context = newContext(logins.get(), &Logins::authenticate, setUpErrno);
        const int result = context ? call->work(context) : setUpErrno;
        lock.lock();
        call->result = result;
        call->done = true;
        if (call->givenUp)
            --worker->givenUpWhileRunning;
        worker->changed.notify_all();
    }
    lock.unlock();
    if (context)
        smbc_free_context(context, 1);
}

SmbContext::SmbContext()
    : m_logins(std::make_shared<Logins>())
    , m_worker(std::make_shared<Worker>())
{}

// A call given up on may stay stuck in the library for long: its thread is left to end on its own, with
// the worker, the logins and the context, which it shares. Otherwise it ends now.
SmbContext::~SmbContext()
{
    if (!m_thread.joinable())
        return;
    bool stuck = false;
    {
        const std::lock_guard lock(m_worker->mutex);
        m_worker->ending = true;
        stuck = m_worker->givenUpWhileRunning > 0;
    }
    m_worker->changed.notify_all();
    if (stuck)
        m_thread.detach();
    else
        m_thread.join();
}

int SmbContext::run(std::function<int(SMBCCTX*)> work)
{
    // A program that never reaches a file server never starts the thread.
    std::call_once(m_threadStarted, [this] { m_thread = std::thread(&Worker::work, m_worker, m_logins); });
    const auto call = std::make_shared<Call>();
    call->work = std::move(work);
    std::unique_lock lock(m_worker->mutex);
    m_worker->queue.push_back(call);
    m_worker->changed.notify_all();
    if (m_worker->changed.wait_for(lock, std::chrono::milliseconds(callLimitMs), [&] { return call->done; }))
        return call->result;
    call->givenUp = true;
    if (call->started)
        ++m_worker->givenUpWhileRunning;
    return ETIMEDOUT;
}

bool SmbContext::callsLeftRunning() const
{
    const std::lock_guard lock(m_worker->mutex);
    return m_worker->givenUpWhileRunning > 0;
}

bool SmbContext::offerKerberos(const QString& server, const QString& share)
{
    const QString shareKey = key(server, share);
    QMutexLocker locker(&m_logins->mutex);
    if (m_logins->byShare.contains(shareKey) || m_logins->kerberosTried.contains(shareKey) ||
        !hasKerberosTicket())
        return false;
    m_logins->kerberosTried.insert(shareKey);
    m_logins->kerberosShares.insert(shareKey);
    return true;
}

// Each refused try would fall back to the user's name with an empty password, which a domain counts
// as a bad password: one refusal ends the offer for this run.
void SmbContext::withdrawKerberos(const QString& server, const QString& share)
{
    QMutexLocker locker(&m_logins->mutex);
    m_logins->kerberosShares.remove(key(server, share));
}

void SmbContext::remember(const QString& server, const QString& share, const ShareLogin& login)
{
    QMutexLocker locker(&m_logins->mutex);
    m_logins->byShare.insert(key(server, share), login);
}

bool SmbContext::hasLogin(const QString& server, const QString& share) const
{
    QMutexLocker locker(&m_logins->mutex);
    return m_logins->byShare.contains(key(server, share));
}
