#include "platform/smb_context.h"

#include <QFileInfo>
#include <QMutexLocker>
#include <cerrno>
#include <cstring>
#include <libsmbclient.h>
#include <pwd.h>
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

} // namespace

SmbContext::SmbContext()
    : m_receiver(std::make_unique<QObject>())
{
    m_thread.setObjectName(QStringLiteral("smb"));
    m_receiver->moveToThread(&m_thread);
}

SmbContext::~SmbContext()
{
    // A program that never reached a file server never started the thread.
    if (!m_thread.isRunning())
        return;
    QMetaObject::invokeMethod(
        m_receiver.get(),
        [this] {
            if (m_context)
                smbc_free_context(m_context, 1);
            m_context = nullptr;
            m_tornDown = true;
        },
        Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
    // A deleteLater queued to the thread before quit() may never run; once the thread has ended nothing
    // else can reach the receiver, so it goes here.
    m_receiver.reset();
}

int SmbContext::run(const std::function<int(SMBCCTX*)>& call)
{
    Q_ASSERT(QThread::currentThread() != &m_thread);
    std::call_once(m_threadStarted, [this] { m_thread.start(); });
    int result = ECANCELED;
    QMetaObject::invokeMethod(
        m_receiver.get(),
        [&] {
            if (m_tornDown)
                return;
            SMBCCTX* const library = context();
            result = library ? call(library) : m_setUpErrno;
        },
        Qt::BlockingQueuedConnection);
    return result;
}

// Created on first use, so a program that never reaches a file server never reads the library's
// configuration.
SMBCCTX* SmbContext::context()
{
    if (m_context || m_setUpErrno)
        return m_context;
    SMBCCTX* created = smbc_new_context();
    if (!created) {
        m_setUpErrno = errno ? errno : ENOMEM;
        return nullptr;
    }
    smbc_setOptionUserData(created, this);
    smbc_setFunctionAuthDataWithContext(created, &SmbContext::authenticate);
    smbc_setTimeout(created, timeoutMs);
    // A ticket the user already has is used; without one the login falls back to what the
    // authentication callback gives.
    smbc_setOptionUseKerberos(created, true);
    smbc_setOptionFallbackAfterKerberos(created, true);
    smbc_setOptionUseCCache(created, true);
    if (!smbc_init_context(created)) {
        m_setUpErrno = errno ? errno : EINVAL;
        smbc_free_context(created, 0);
        return nullptr;
    }
    m_context = created;
    return m_context;
}

// Kerberos keeps the ticket in the cache KRB5CCNAME names, by default a file named after the user.
bool SmbContext::hasKerberosTicket()
{
    const QString cache = qEnvironmentVariable("KRB5CCNAME");
    if (cache.isEmpty())
        return QFileInfo::exists(QStringLiteral("/tmp/krb5cc_%1").arg(::getuid()));
    if (cache.startsWith(QLatin1String("FILE:")))
        return QFileInfo::exists(cache.mid(5));
    // Keyring, KCM and other caches cannot be looked into from here; the server will tell.
    return !cache.startsWith(QLatin1Char('/')) || QFileInfo::exists(cache);
}

void SmbContext::authenticate(SMBCCTX* context, const char* server, const char* share, char* workgroup,
                              int workgroupSize, char* user, int userSize, char* password, int passwordSize)
{
    const auto* self = static_cast<const SmbContext*>(smbc_getOptionUserData(context));
    const QString shareKey = key(QString::fromUtf8(server), QString::fromUtf8(share));
    QMutexLocker locker(&self->m_loginsMutex);
    const auto found = self->m_logins.constFind(shareKey);
    if (found != self->m_logins.cend()) {
        if (!found->domain.isEmpty())
            copyInto(workgroup, workgroupSize, found->domain);
        copyInto(user, userSize, found->user);
        copyInto(password, passwordSize, found->password);
        return;
    }
    // A named user without a password lets the library present the user's Kerberos ticket.
    const QString kerberosUser = self->m_kerberosShares.contains(shareKey) ? localUserName() : QString();
    // An empty user is an anonymous login, which a share open to guests accepts.
    copyInto(user, userSize, kerberosUser);
    copyInto(password, passwordSize, {});
}

QString SmbContext::localUserName()
{
    if (const passwd* entry = ::getpwuid(::getuid()))
        return QString::fromLocal8Bit(entry->pw_name);
    return qEnvironmentVariable("USER");
}

bool SmbContext::offerKerberos(const QString& server, const QString& share)
{
    const QString shareKey = key(server, share);
    QMutexLocker locker(&m_loginsMutex);
    if (m_logins.contains(shareKey) || m_kerberosTried.contains(shareKey) || !hasKerberosTicket())
        return false;
    m_kerberosTried.insert(shareKey);
    m_kerberosShares.insert(shareKey);
    return true;
}

// Each refused try would fall back to the user's name with an empty password, which a domain counts
// as a bad password: one refusal ends the offer for this run.
void SmbContext::withdrawKerberos(const QString& server, const QString& share)
{
    QMutexLocker locker(&m_loginsMutex);
    m_kerberosShares.remove(key(server, share));
}

QString SmbContext::key(const QString& server, const QString& share)
{
    // Server and share names are not case-sensitive.
    return server.toLower() + QLatin1Char('/') + share.toLower();
}

void SmbContext::remember(const QString& server, const QString& share, const ShareLogin& login)
{
    QMutexLocker locker(&m_loginsMutex);
    m_logins.insert(key(server, share), login);
}

bool SmbContext::hasLogin(const QString& server, const QString& share) const
{
    QMutexLocker locker(&m_loginsMutex);
    return m_logins.contains(key(server, share));
}
