#include "platform/files/smb_failure.h"

#include "platform/files/server_share_path.h"

#include <QRegularExpression>
#include <cerrno>
#include <cstring>
#include <libsmbclient.h>
#include <sys/stat.h>

namespace {

using SmbFailure::isMissing;
using SmbFailure::isRefused;
using SmbFailure::statErrno;

QString describeErrno(int errorNumber)
{
    return QString::fromLocal8Bit(std::strerror(errorNumber));
}

bool isConnectionFailure(int errorNumber)
{
    switch (errorNumber) {
    case ECONNREFUSED:
    case ETIMEDOUT:
    case EHOSTUNREACH:
    case ENETUNREACH:
    case EHOSTDOWN:
    case ECONNRESET:
    case ECONNABORTED:
    case EPIPE:
    case ENOTCONN:
        return true;
    default:
        return false;
    }
}

// An IPv4 or IPv6 address rather than a name.
bool isAddress(const QString& server)
{
    static const QRegularExpression ipv4(QStringLiteral("^\\d{1,3}(\\.\\d{1,3}){3}$"));
    return server.contains(QLatin1Char(':')) || ipv4.match(server).hasMatch();
}

FileError::Kind kindOfErrno(int errorNumber)
{
    switch (errorNumber) {
    case ENOSPC:
    case EDQUOT:
        return FileError::Kind::noSpace;
    case EROFS:
        return FileError::Kind::readOnly;
    case EISDIR:
        return FileError::Kind::notAFile;
    default:
        return FileError::Kind::other;
    }
}

// Why a call failed, each with a sentence of its own.
enum class Cause
{
    badLocation,
    unreachable,
    exists,
    inUse,
    beingDeleted,
    noSuchServerOrShare,
    noSuchShare,
    loginAsked,
    loginRefused,
    guestCannotChange,
    accessDenied,
    folderMissing,
    fileMissing,
    // Anything else, told by the system's text for the error number.
    described,
};

struct Diagnosis
{
    FileError::Kind kind;
    Cause cause;
    // The error number that unreachable and described tell of.
    int errorNumber = 0;
};

// Text only: everything it needs was found out before.
QString reasonFor(Cause cause, int errorNumber, const ServerSharePath& where)
{
    const QString share = where.shareRoot().shareLocation();
    switch (cause) {
    case Cause::badLocation:
        return QStringLiteral("a network location needs the form \\\\SERVER\\Share");
    case Cause::unreachable:
        return QStringLiteral("the server %1 cannot be reached (%2)")
            .arg(where.server, describeErrno(errorNumber));
    case Cause::exists:
        return QStringLiteral("the file is there already");
    case Cause::inUse:
        return QStringLiteral("another program has the file open");
    case Cause::beingDeleted:
        return QStringLiteral("the file is being deleted or is in use");
    case Cause::noSuchServerOrShare:
        return QStringLiteral("no server named %1 can be found, or it has no share named %2")
            .arg(where.server, where.share);
    case Cause::noSuchShare:
        return QStringLiteral("the server %1 has no share named %2").arg(where.server, where.share);
    case Cause::loginAsked:
        return QStringLiteral("the server %1 asks for a user name and password for %2")
            .arg(where.server, share);
    case Cause::loginRefused:
        return QStringLiteral("the server %1 refused the login for %2").arg(where.server, share);
    case Cause::guestCannotChange:
        return QStringLiteral(
                   "the server %1 lets guests into %2 but not change anything there: the share may "
                   "be read-only, or a user name and password may be allowed to")
            .arg(where.server, share);
    case Cause::accessDenied:
        return QStringLiteral("access denied");
    case Cause::folderMissing:
        return QStringLiteral("its folder does not exist");
    case Cause::fileMissing:
        return QStringLiteral("the file does not exist");
    case Cause::described:
        break;
    }
    return describeErrno(errorNumber);
}

// The library reports a missing share, a missing folder and a missing file alike, and a refused login
// like a refused file: asking the server for the share and the folder tells them apart. Builds no text.
Diagnosis diagnose(SmbContext& library, const ServerSharePath& where, int errorNumber, bool changing)
{
    using Kind = FileError::Kind;
    if (where.server.isEmpty() || where.share.isEmpty())
        return {Kind::other, Cause::badLocation};
    if (isConnectionFailure(errorNumber))
        return {Kind::serverUnreachable, Cause::unreachable, errorNumber};
    if (errorNumber == EEXIST)
        return {Kind::alreadyExists, Cause::exists};
    if (errorNumber == EBUSY || errorNumber == ETXTBSY)
        return {Kind::busy, Cause::inUse};
    if (!isMissing(errorNumber) && !isRefused(errorNumber) && errorNumber != EINVAL)
        return {kindOfErrno(errorNumber), Cause::described, errorNumber};

    const int shareError = statErrno(library, where.shareRoot().smbUrl());
    const bool hasLogin = library.hasLogin(where.server, where.share);
    if (isConnectionFailure(shareError))
        return {Kind::serverUnreachable, Cause::unreachable, shareError};
    // The library's catch-all: for a file in a share that answers, it is one being deleted while
    // another client still has it open, which passes like any file in use.
    if (errorNumber == EINVAL && shareError == 0)
        return {Kind::busy, Cause::beingDeleted};
    // The library reports a server name that nothing on the network answers to like a missing share.
    if ((shareError == EINVAL || isMissing(shareError)) && !isAddress(where.server))
        return {Kind::other, Cause::noSuchServerOrShare};
    if (isMissing(shareError))
        return {Kind::other, Cause::noSuchShare};
    if (isRefused(shareError))
        return {Kind::loginNeeded, hasLogin ? Cause::loginRefused : Cause::loginAsked};
    // A guest may enter the share and still not reach this file; a login may.
    // The library does not tell a read-only share from one that guests may only read (neither its volume
    // flags nor the file attributes show it), so a guest hears both.
    if (isRefused(errorNumber) && !hasLogin && changing)
        return {Kind::loginNeeded, Cause::guestCannotChange};
    if (isRefused(errorNumber))
        return {hasLogin ? Kind::refused : Kind::loginNeeded, Cause::accessDenied};
    if (!isMissing(errorNumber))
        return {kindOfErrno(errorNumber), Cause::described, errorNumber};
    if (where.elements.size() > 1 && isMissing(statErrno(library, where.folder().smbUrl())))
        return {Kind::other, Cause::folderMissing};
    return {Kind::missing, Cause::fileMissing};
}

} // namespace

bool SmbFailure::isMissing(int errorNumber)
{
    return errorNumber == ENOENT || errorNumber == ENOTDIR || errorNumber == ENODEV || errorNumber == ENXIO;
}

bool SmbFailure::isRefused(int errorNumber)
{
    return errorNumber == EACCES || errorNumber == EPERM;
}

int SmbFailure::statErrno(SmbContext& library, const QByteArray& url)
{
    return library.run([url](SMBCCTX* context) {
        struct stat status = {};
        if (smbc_getFunctionStat(context)(context, url.constData(), &status) >= 0)
            return 0;
        return errno ? errno : EIO;
    });
}

FileError SmbFailure::describe(SmbContext& library, const QString& action, const QString& path,
                               int errorNumber, bool changing)
{
    const ServerSharePath where = ServerSharePath::parse(path);
    const Diagnosis diagnosis = diagnose(library, where, errorNumber, changing);
    return {diagnosis.kind, QStringLiteral("Cannot %1 %2: %3.")
                                .arg(action, path, reasonFor(diagnosis.cause, diagnosis.errorNumber, where))};
}
