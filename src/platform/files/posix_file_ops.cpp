#include "platform/files/native_file_ops.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace NativeFileOps {

namespace {

Status fromErrno(int error)
{
    Failure failure = Failure::other;
    switch (error) {
    case ENOENT:
        failure = Failure::missing;
        break;
    case EEXIST:
        failure = Failure::alreadyExists;
        break;
    // A CIFS mount reports another client's sharing violation, and a file being deleted there, as EBUSY.
    case EBUSY:
    case ETXTBSY:
    case EAGAIN:
        failure = Failure::busy;
        break;
    case EACCES:
    case EPERM:
        failure = Failure::refused;
        break;
    case EROFS:
        failure = Failure::readOnly;
        break;
    case EISDIR:
        failure = Failure::notAFile;
        break;
    case ENOSPC:
    case EDQUOT:
        failure = Failure::noSpace;
        break;
    default:
        break;
    }
    return {failure, std::strerror(error)};
}

Status lastError()
{
    return fromErrno(errno);
}

// A CIFS mount refuses a rename over a file that a Windows workstation has open with EACCES. Only where
// the target is a file and this process may write its folder is that refusal taken as the file being
// in use: a local file system gives no such EACCES then.
Status renameFailure(int error, const std::filesystem::path& target)
{
    struct stat info
    {
    };
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    if (error == EACCES && ::stat(target.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0)
        return {Failure::busy, std::strerror(error)};
    return fromErrno(error);
}

int openRetrying(const char* path, int flags, mode_t mode = 0)
{
    int descriptor;
    do
        descriptor = ::open(path, flags | O_CLOEXEC, mode);
    while (descriptor < 0 && errno == EINTR);
    return descriptor;
}

// What a path that is no regular file is instead, for the message.
Status notAFile(const char* path, mode_t mode)
{
    if (S_ISDIR(mode))
        return {Failure::notAFile, std::strerror(EISDIR)};
    if (S_ISLNK(mode)) {
        std::error_code error;
        const std::filesystem::path target = std::filesystem::read_symlink(path, error);
        return {Failure::notAFile, "it is a symbolic link (to " + target.string() + "), not a plain file"};
    }
    if (S_ISFIFO(mode))
        return {Failure::notAFile, "it is a named pipe (FIFO), not a file"};
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return {Failure::notAFile, "it is a device, not a file"};
    return {Failure::notAFile, "it is not a regular file"};
}

Status closedWith(int& descriptor, const Status& status)
{
    ::close(descriptor);
    descriptor = -1;
    return status;
}

// Opened without blocking, since opening a FIFO waits for its other end and a device may never answer;
// anything but a regular file is refused before a byte moves, and the descriptor then blocks as usual.
// info is the opened file's status.
Status openRegular(const char* path, int flags, mode_t mode, int& descriptor, struct stat& info)
{
    descriptor = openRetrying(path, flags | O_NONBLOCK, mode);
    if (descriptor < 0) {
        // ENXIO: a FIFO nobody reads or a device that is not there; ELOOP: a symbolic link refused.
        const int error = errno;
        if ((error == ENXIO || error == ELOOP || error == EISDIR) && ::lstat(path, &info) == 0)
            return notAFile(path, info.st_mode);
        return fromErrno(error);
    }
    if (::fstat(descriptor, &info) != 0)
        return closedWith(descriptor, lastError());
    if (!S_ISREG(info.st_mode))
        return closedWith(descriptor, notAFile(path, info.st_mode));
    const int statusFlags = ::fcntl(descriptor, F_GETFL);
    if (statusFlags < 0 || ::fcntl(descriptor, F_SETFL, statusFlags & ~O_NONBLOCK) != 0)
        return closedWith(descriptor, lastError());
    return {};
}

Status writeWhole(int descriptor, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return lastError();
        }
        bytes.remove_prefix(std::size_t(written));
    }
    if (::fsync(descriptor) != 0)
        return lastError();
    return {};
}

// Reads the opened file to its end, then closes it.
Status readOpened(int descriptor, const struct stat& info, const ResizeBuffer& resize, std::size_t maxBytes)
{
    const auto readSome = [descriptor](char* into, std::size_t wanted, std::size_t& count) -> Status {
        ssize_t read = -1;
        do
            read = ::read(descriptor, into, wanted);
        while (read < 0 && errno == EINTR);
        if (read < 0)
            return lastError();
        count = std::size_t(read);
        return {};
    };
    const std::size_t expected = info.st_size > 0 ? std::size_t(info.st_size) + 1 : 0;
    return closedWith(descriptor, readInPlace(resize, expected, maxBytes, readSome));
}

} // namespace

Status readAll(const std::filesystem::path& path, const ResizeBuffer& resize, std::size_t maxBytes)
{
    int descriptor = -1;
    struct stat info
    {
    };
    if (const Status opened = openRegular(path.c_str(), O_RDONLY, 0, descriptor, info); !opened.ok())
        return opened;
    return readOpened(descriptor, info, resize, maxBytes);
}

// The open refreshes what NFS (close-to-open) and CIFS know of the file; fstat then tells of that file.
Status readIfChanged(const std::filesystem::path& path, const std::optional<FileIdentity>& known,
                     FileIdentity& identity, bool& unchanged, const ResizeBuffer& resize)
{
    unchanged = false;
    int descriptor = -1;
    struct stat info
    {
    };
    if (const Status opened = openRegular(path.c_str(), O_RDONLY, 0, descriptor, info); !opened.ok())
        return opened;
    identity = {std::int64_t(info.st_size),
                std::int64_t(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec,
                std::uint64_t(info.st_dev), std::uint64_t(info.st_ino)};
    if (known && *known == identity) {
        unchanged = true;
        return closedWith(descriptor, {});
    }
    return readOpened(descriptor, info, resize, std::string::npos);
}

Status writeAll(const std::filesystem::path& path, std::string_view bytes, bool newOnly)
{
    const int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | (newOnly ? O_EXCL : O_TRUNC);
    int descriptor = -1;
    struct stat info
    {
    };
    if (const Status opened = openRegular(path.c_str(), flags, 0666, descriptor, info); !opened.ok())
        return opened;
    Status status = writeWhole(descriptor, bytes);
    // A network file system may report a failed write only when the file is closed.
    if (::close(descriptor) != 0 && status.ok())
        status = lastError();
    if (!status.ok() && newOnly)
        ::unlink(path.c_str());
    return status;
}

Status replace(const std::filesystem::path& source, const std::filesystem::path& target)
{
    struct stat info
    {
    };
    if (::lstat(target.c_str(), &info) == 0) {
        if (!S_ISREG(info.st_mode))
            return notAFile(target.c_str(), info.st_mode);
        ::chmod(source.c_str(), info.st_mode & 07777);
    }
    std::error_code error;
    std::filesystem::rename(source, target, error);
    if (error)
        return renameFailure(error.value(), target);
    return {};
}

// rename() would replace an existing target, so the new name is a hard link, which never does.
std::optional<Status> moveToNew(const std::filesystem::path& source, const std::filesystem::path& target)
{
    if (::link(source.c_str(), target.c_str()) != 0) {
        const int error = errno;
        struct stat info
        {
        };
        // An NFS server that did the link but whose answer was lost answers the client's retry with
        // EEXIST: the link count of the source tells.
        const bool linkedAfterAll =
            error == EEXIST && ::stat(source.c_str(), &info) == 0 && info.st_nlink == 2;
        if (!linkedAfterAll) {
            if (error == EPERM || error == EOPNOTSUPP || error == ENOSYS || error == EMLINK)
                return std::nullopt;
            return fromErrno(error);
        }
    }
    ::unlink(source.c_str());
    return Status{};
}

Status remove(const std::filesystem::path& path)
{
    if (::unlink(path.c_str()) == 0)
        return {};
    // Linux reports a folder as EISDIR, other systems as EPERM; rmdir removes only an empty one.
    const int error = errno;
    if ((error == EISDIR || error == EPERM) && ::rmdir(path.c_str()) == 0)
        return {};
    return fromErrno(error);
}

Status modificationTime(const std::filesystem::path& path, std::int64_t& msecsSinceEpoch)
{
    struct stat info
    {
    };
    if (::stat(path.c_str(), &info) != 0)
        return lastError();
    msecsSinceEpoch = std::int64_t(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000;
    return {};
}

Status listFolder(const std::filesystem::path& folder, std::vector<std::string>& names)
{
    names.clear();
    DIR* directory = ::opendir(folder.c_str());
    if (!directory)
        return lastError();
    while (const dirent* entry = ::readdir(directory)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(directory);
    return {};
}

bool processRunning(std::int64_t processId)
{
    // An id no process here can have is not cut down to one that some other process may have.
    if (processId <= 0 || processId > std::numeric_limits<pid_t>::max())
        return false;
    return ::kill(pid_t(processId), 0) == 0 || errno == EPERM;
}

} // namespace NativeFileOps
