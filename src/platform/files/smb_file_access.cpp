#include "platform/files/smb_file_access.h"

#include "platform/files/server_share_path.h"
#include "platform/files/smb_failure.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <libsmbclient.h>
#include <limits>
#include <memory>
#include <sys/stat.h>
#include <thread>

namespace {

using SmbFailure::isMissing;
using SmbFailure::isRefused;
using SmbFailure::statErrno;

// Reads start small, as most logs are, and grow so that a large log takes few round trips.
constexpr qsizetype firstReadChunk = 1 << 16;
constexpr qsizetype largestReadChunk = 1 << 23;

// A failed call that left errno unset must still fail.
int lastError()
{
    return errno ? errno : EIO;
}

QByteArray urlOf(const QString& path)
{
    return ServerSharePath::parse(path).smbUrl();
}

// Opens url for reading, hands the open file to use and closes it again; the error is the open's or use's.
template <typename Use> int withFileToRead(SMBCCTX* context, const QByteArray& url, Use use)
{
    SMBCFILE* file = smbc_getFunctionOpen(context)(context, url.constData(), O_RDONLY, 0);
    if (!file)
        return lastError();
    const int error = use(file);
    smbc_getFunctionClose(context)(context, file);
    return error;
}

// Reads until the end of the file or maxBytes: a size from the server's metadata may be old. Fills the
// room the buffer has first, so that a buffer read into again is not grown and copied.
int readWhole(SMBCCTX* context, SMBCFILE* file, QByteArray& bytes, qsizetype maxBytes)
{
    for (qsizetype chunk = firstReadChunk;; chunk = std::min(chunk * 2, largestReadChunk)) {
        const qsizetype before = bytes.size();
        const qsizetype room = bytes.capacity() - before;
        const qsizetype wanted = std::min(room > 0 ? room : chunk, maxBytes - before);
        if (wanted <= 0)
            return 0;
        bytes.resize(before + wanted);
        const ssize_t got = smbc_getFunctionRead(context)(context, file, bytes.data() + before, wanted);
        if (got < 0) {
            bytes.clear();
            return lastError();
        }
        bytes.resize(before + got);
        if (got == 0)
            return 0;
    }
}

int writeWhole(SMBCCTX* context, SMBCFILE* file, const QByteArray& bytes)
{
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t put = smbc_getFunctionWrite(context)(context, file, bytes.constData() + written,
                                                           bytes.size() - written);
        if (put <= 0)
            return put < 0 ? lastError() : EIO;
        written += put;
    }
    return 0;
}

int statUrl(SMBCCTX* context, const QByteArray& url, struct stat& status)
{
    return smbc_getFunctionStat(context)(context, url.constData(), &status) < 0 ? lastError() : 0;
}

int unlinkUrl(SMBCCTX* context, const QByteArray& url)
{
    return smbc_getFunctionUnlink(context)(context, url.constData()) < 0 ? lastError() : 0;
}

int renameUrl(SMBCCTX* context, const QByteArray& from, const QByteArray& to)
{
    return smbc_getFunctionRename(context)(context, from.constData(), context, to.constData()) < 0
               ? lastError()
               : 0;
}

// A reader that fell back to the old log may have it open for a moment.
void unlinkSoon(SMBCCTX* context, const QByteArray& url)
{
    for (const int pauseMs : {0, 10, 50, 100}) {
        std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
        if (unlinkUrl(context, url) != EBUSY)
            return;
    }
}

} // namespace

FileReadResult SmbFileAccess::readAll(const QString& path)
{
    return readStart(path, std::numeric_limits<qsizetype>::max());
}

// The open's answer brings the server's attributes; fstat asks for them by the open handle.
FileRereadResult SmbFileAccess::readIfChanged(const QString& path, const std::optional<FileIdentity>& known,
                                              QByteArray& buffer)
{
    struct Read
    {
        QByteArray bytes;
        FileIdentity identity;
        bool unchanged = false;
    };
    const QByteArray url = urlOf(path);
    // The call may outlive this one when given up on: the buffer goes with it and comes back only
    // from a call that succeeded, which surely has ended; after a failure the next read takes new memory.
    const auto read = std::make_shared<Read>();
    read->bytes = std::move(buffer);
    const int error = runFor(path, [url, read, known](SMBCCTX* context) {
        return withFileToRead(context, url, [&](SMBCFILE* file) {
            struct stat status = {};
            if (smbc_getFunctionFstat(context)(context, file, &status) < 0)
                return lastError();
            read->identity = {qint64(status.st_size),
                              qint64(status.st_mtim.tv_sec) * 1'000'000'000 + status.st_mtim.tv_nsec,
                              quint64(status.st_dev), quint64(status.st_ino)};
            read->unchanged = known && *known == read->identity;
            if (read->unchanged)
                return 0;
            read->bytes.resize(0);
            if (read->bytes.capacity() <= status.st_size)
                read->bytes.reserve(qsizetype(status.st_size) + 1);
            return readWhole(context, file, read->bytes, std::numeric_limits<qsizetype>::max());
        });
    });
    if (error)
        return {false, std::nullopt, failure(QStringLiteral("read"), Effect::looks, path, error)};
    buffer = std::move(read->bytes);
    return {read->unchanged, read->identity, {}};
}

FileReadResult SmbFileAccess::readStart(const QString& path, qsizetype maxBytes)
{
    const QByteArray url = urlOf(path);
    const auto bytes = std::make_shared<QByteArray>();
    const int error = runFor(path, [url, bytes, maxBytes](SMBCCTX* context) {
        return withFileToRead(context, url,
                              [&](SMBCFILE* file) { return readWhole(context, file, *bytes, maxBytes); });
    });
    if (error)
        return {{}, failure(QStringLiteral("read"), Effect::looks, path, error)};
    return {std::move(*bytes), {}};
}

FileError SmbFileAccess::writeAll(const QString& path, const QByteArray& bytes, Create mode)
{
    const QByteArray url = urlOf(path);
    const int flags = O_WRONLY | O_CREAT | (mode == Create::newOnly ? O_EXCL : O_TRUNC);
    const int error = runFor(path, [url, bytes, flags, mode](SMBCCTX* context) {
        SMBCFILE* file = smbc_getFunctionOpen(context)(context, url.constData(), flags, 0666);
        if (!file)
            return lastError();
        int writeError = writeWhole(context, file, bytes);
        // The library has no flush: each write is answered by the server, and the close by the server's
        // own close of the file.
        if (smbc_getFunctionClose(context)(context, file) < 0 && !writeError)
            writeError = lastError();
        if (writeError && mode == Create::newOnly)
            unlinkUrl(context, url);
        return writeError;
    });
    if (!error)
        return {};
    // The server answers an exclusive create over a folder with "is a directory": the name is taken.
    const bool taken = mode == Create::newOnly && error == EISDIR;
    return failure(QStringLiteral("write"), Effect::changes, path, taken ? EEXIST : error);
}

// The library's rename onto an existing file deletes the target first and then renames, so for a moment
// there would be no target, and a crash in between would leave none. The old target is moved aside
// instead, where readers and the next writer find it.
FileError SmbFileAccess::replace(const QString& source, const QString& target, const QString& aside)
{
    const QByteArray sourceUrl = urlOf(source);
    const QByteArray targetUrl = urlOf(target);
    const QByteArray asideUrl = urlOf(aside);
    const int error = runFor(target, [sourceUrl, targetUrl, asideUrl](SMBCCTX* context) {
        const int asideError = renameUrl(context, targetUrl, asideUrl);
        if (asideError && !isMissing(asideError))
            return asideError;
        const bool hadTarget = !asideError;
        if (const int renameError = renameUrl(context, sourceUrl, targetUrl)) {
            if (hadTarget)
                renameUrl(context, asideUrl, targetUrl);
            return renameError;
        }
        // Should a reader hold it open longer, the next post's replace moves over it.
        if (hadTarget)
            unlinkSoon(context, asideUrl);
        return 0;
    });
    if (!error)
        return {};
    // A rename fails this way while another client has the file open, until it closes it. The temporary
    // file was just written, so a refusal does not mean that this login may not write here either.
    const bool inUse = error == EEXIST || isRefused(error);
    FileError result = failure(QStringLiteral("write"), Effect::changes, target, inUse ? EBUSY : error);
    result.message += QStringLiteral(" (renaming %1 over it)").arg(source);
    return result;
}

FileError SmbFileAccess::remove(const QString& path)
{
    const QByteArray url = urlOf(path);
    const int error = runFor(path, [url](SMBCCTX* context) {
        const int unlinkError = unlinkUrl(context, url);
        if (unlinkError != EISDIR && unlinkError != EPERM)
            return unlinkError;
        // A folder in a file's place: only an empty one goes.
        if (smbc_getFunctionRmdir(context)(context, url.constData()) == 0)
            return 0;
        return errno == ENOTDIR ? unlinkError : lastError();
    });
    return error ? failure(QStringLiteral("remove"), Effect::changes, path, error) : FileError{};
}

FileTimeResult SmbFileAccess::modificationTime(const QString& path)
{
    const QByteArray url = urlOf(path);
    const auto status = std::make_shared<struct stat>();
    if (const int error =
            runFor(path, [url, status](SMBCCTX* context) { return statUrl(context, url, *status); }))
        return {0, failure(QStringLiteral("read the time of"), Effect::looks, path, error)};
    return {qint64(status->st_mtim.tv_sec) * 1000 + status->st_mtim.tv_nsec / 1000000, {}};
}

FileListResult SmbFileAccess::listBeside(const QString& path, const QString& prefix)
{
    const QByteArray folderUrl = ServerSharePath::parse(path).folder().smbUrl();
    const auto names = std::make_shared<QStringList>();
    const int error = runFor(path, [folderUrl, prefix, names](SMBCCTX* context) {
        SMBCFILE* folder = smbc_getFunctionOpendir(context)(context, folderUrl.constData());
        if (!folder)
            return lastError();
        while (const smbc_dirent* entry = smbc_getFunctionReaddir(context)(context, folder)) {
            // The name is declared as a one-char array: as an array Qt would take just that one char.
            const QString name = QString::fromUtf8(static_cast<const char*>(entry->name));
            if (entry->smbc_type == SMBC_FILE && name.startsWith(prefix))
                names->append(name);
        }
        smbc_getFunctionClosedir(context)(context, folder);
        return 0;
    });
    if (error)
        return {{}, failure(QStringLiteral("list the folder of"), Effect::looks, path, error)};
    return {std::move(*names), {}};
}

bool SmbFileAccess::canNeedLogin(const QString& shareLocation) const
{
    return ServerSharePath::isServerSharePath(shareLocation);
}

void SmbFileAccess::remember(const QString& shareLocation, const ShareLogin& login)
{
    const ServerSharePath where = ServerSharePath::parse(shareLocation);
    m_library.remember(where.server, where.share, login);
}

// A share that refuses the anonymous login may take the user's Kerberos ticket: the call is tried once
// more with it before the refusal counts. A refused file in a share that lets the user in is no reason.
int SmbFileAccess::runFor(const QString& path, const std::function<int(SMBCCTX*)>& call)
{
    const int error = m_library.run(call);
    if (!isRefused(error))
        return error;
    const ServerSharePath share = ServerSharePath::parse(path).shareRoot();
    if (!isRefused(statErrno(m_library, share.smbUrl())) ||
        !m_library.offerKerberos(share.server, share.share))
        return error;
    const int withTicket = m_library.run(call);
    if (isRefused(withTicket) && isRefused(statErrno(m_library, share.smbUrl())))
        m_library.withdrawKerberos(share.server, share.share);
    return withTicket;
}

FileError SmbFileAccess::failure(const QString& action, Effect effect, const QString& path, int errorNumber)
{
    return SmbFailure::describe(m_library, action, path, errorNumber, effect == Effect::changes);
}
