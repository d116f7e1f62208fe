#include "platform/files/native_file_ops.h"

#include <algorithm>

#if defined(_WIN32)

#include <cstddef>
#include <limits>
#include <windows.h>

namespace NativeFileOps {

namespace {

std::string utf8(const wchar_t* text, int length)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string result(std::size_t(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text, length, result.data(), size, nullptr, nullptr);
    return result;
}

std::string describe(DWORD error)
{
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text = length ? utf8(buffer, int(length)) : "Windows error " + std::to_string(error);
    LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

Status fromError(DWORD error)
{
    Failure failure = Failure::other;
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        failure = Failure::missing;
        break;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        failure = Failure::alreadyExists;
        break;
    // Another workstation has the file open without the sharing this call needs.
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        failure = Failure::busy;
        break;
    // Where the file is known, accessDenied tells the causes of this apart.
    case ERROR_ACCESS_DENIED:
        failure = Failure::refused;
        break;
    case ERROR_WRITE_PROTECT:
        failure = Failure::readOnly;
        break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        failure = Failure::noSpace;
        break;
    default:
        break;
    }
    return {failure, describe(error)};
}

Status lastError()
{
    return fromError(GetLastError());
}

// Every open shares read, write and delete, so that no reader or writer here ever makes another
// workstation's rename of the log fail.
constexpr DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

class Handle
{
public:
    explicit Handle(HANDLE handle)
        : m_handle(handle)
    {}
    ~Handle()
    {
        if (*this)
            CloseHandle(m_handle);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    explicit operator bool() const { return m_handle != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return m_handle; }

private:
    HANDLE m_handle;
};

// Folders too, so that a folder in place of a file can be recognised.
Handle openExisting(const std::filesystem::path& path, DWORD access)
{
    return Handle(CreateFileW(path.c_str(), access, shareAll, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

// What a failed call wanted of the file.
enum class Wanted
{
    reading,
    writing,
    // A rename over it, or its deletion.
    itsName,
};

// ERROR_ACCESS_DENIED stands for a folder, a read-only file, a file being deleted, a rename over or
// deletion of a file another process has open, and a real refusal alike. The file tells them apart.
Status accessDenied(const std::filesystem::path& path, Wanted wanted)
{
    const Handle attributes = openExisting(path, FILE_READ_ATTRIBUTES);
    if (!attributes) {
        // Reading the attributes is refused only to a file being deleted; a file that is not there
        // leaves the folder as what refused.
        if (GetLastError() == ERROR_ACCESS_DENIED)
            return {Failure::busy, "The file is being deleted"};
        return {Failure::refused, describe(ERROR_ACCESS_DENIED)};
    }
    FILE_BASIC_INFO basic{};
    FILE_STANDARD_INFO standard{};
    if (GetFileInformationByHandleEx(attributes.get(), FileBasicInfo, &basic, sizeof basic) &&
        GetFileInformationByHandleEx(attributes.get(), FileStandardInfo, &standard, sizeof standard)) {
        if (standard.Directory)
            return {Failure::notAFile, "It is a folder, not a file"};
        if (standard.DeletePending)
            return {Failure::busy, "The file is being deleted"};
        if (wanted != Wanted::reading && (basic.FileAttributes & FILE_ATTRIBUTE_READONLY))
            return {Failure::readOnly, "The file is read-only"};
    }
    if (wanted == Wanted::itsName) {
        // Classic rename rules refuse a rename over an open file as if the right were missing: the
        // right to delete it tells the two apart.
        const Handle deletable = openExisting(path, DELETE);
        if (deletable || GetLastError() == ERROR_SHARING_VIOLATION)
            return {Failure::busy, "The file is open in another process"};
    }
    return {Failure::refused, describe(ERROR_ACCESS_DENIED)};
}

Status errorOn(DWORD error, const std::filesystem::path& path, Wanted wanted)
{
    return error == ERROR_ACCESS_DENIED ? accessDenied(path, wanted) : fromError(error);
}

Status lastErrorOn(const std::filesystem::path& path, Wanted wanted)
{
    return errorOn(GetLastError(), path, wanted);
}

// The headers name this class only for some targets; its value is fixed by the system.
const auto fileRenameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);
constexpr DWORD renameReplacing = 0x1;
constexpr DWORD renamePosixSemantics = 0x2;

// With POSIX semantics (NTFS since Windows 10 1607) a rename replaces the target even while readers
// have it open, and they read on in the old file. Elsewhere it fails and the classic rename decides.
bool renameReplacingOpenTarget(const std::filesystem::path& source, const std::filesystem::path& target)
{
    const Handle file = openExisting(source, DELETE | SYNCHRONIZE);
    const DWORD length = GetFullPathNameW(target.c_str(), 0, nullptr, nullptr);
    if (!file || length == 0)
        return false;
    const std::size_t nameOffset = offsetof(FILE_RENAME_INFO, FileName);
    std::vector<std::uint64_t> buffer((nameOffset + length * sizeof(wchar_t)) / sizeof(std::uint64_t) + 1);
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    const DWORD written = GetFullPathNameW(target.c_str(), length, info->FileName, nullptr);
    if (written == 0 || written >= length)
        return false;
    info->Flags = renameReplacing | renamePosixSemantics;
    info->RootDirectory = nullptr;
    info->FileNameLength = written * sizeof(wchar_t);
    return SetFileInformationByHandle(file.get(), fileRenameInfoEx, info,
                                      DWORD(buffer.size() * sizeof(std::uint64_t)));
}

} // namespace

namespace {

Handle openForReading(const std::filesystem::path& path)
{
    return Handle(CreateFileW(path.c_str(), GENERIC_READ, shareAll, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

// The whole file in as few reads as its size allows, so that it is open only for a moment: a writer
// whose rename cannot replace an open file waits for every reader to close it.
Status readOpened(const Handle& file, const ResizeBuffer& resize, std::size_t maxBytes)
{
    const auto readSome = [&file](char* into, std::size_t wanted, std::size_t& count) -> Status {
        DWORD read = 0;
        if (!ReadFile(file.get(), into, DWORD(std::min<std::size_t>(wanted, 1u << 30)), &read, nullptr))
            return lastError();
        count = read;
        return {};
    };
    LARGE_INTEGER size{};
    const std::size_t expected =
        GetFileSizeEx(file.get(), &size) && size.QuadPart > 0 ? std::size_t(size.QuadPart) + 1 : 0;
    return readInPlace(resize, expected, maxBytes, readSome);
}

} // namespace

Status readAll(const std::filesystem::path& path, const ResizeBuffer& resize, std::size_t maxBytes)
{
    const Handle file = openForReading(path);
    if (!file)
        return lastErrorOn(path, Wanted::reading);
    return readOpened(file, resize, maxBytes);
}

// The redirector answers for the handle with what the server said when it was opened.
Status readIfChanged(const std::filesystem::path& path, const std::optional<FileIdentity>& known,
                     FileIdentity& identity, bool& unchanged, const ResizeBuffer& resize)
{
    unchanged = false;
    const Handle file = openForReading(path);
    if (!file)
        return lastErrorOn(path, Wanted::reading);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file.get(), &info))
        return lastError();
    const auto joined = [](DWORD high, DWORD low) {
        return (std::uint64_t(high) << 32) | low;
    };
    identity = {std::int64_t(joined(info.nFileSizeHigh, info.nFileSizeLow)),
                std::int64_t(joined(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime)),
                std::uint64_t(info.dwVolumeSerialNumber), joined(info.nFileIndexHigh, info.nFileIndexLow)};
    if (known && *known == identity) {
        unchanged = true;
        return {};
    }
    return readOpened(file, resize, std::string::npos);
}

Status writeAll(const std::filesystem::path& path, std::string_view bytes, bool newOnly)
{
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, shareAll, nullptr,
                                    newOnly ? CREATE_NEW : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return lastErrorOn(path, Wanted::writing);
    Status status;
    while (!bytes.empty() && status.ok()) {
        const DWORD part = bytes.size() > 0x10000000 ? 0x10000000 : DWORD(bytes.size());
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), part, &written, nullptr))
            status = lastError();
        else
            bytes.remove_prefix(written);
    }
    if (status.ok() && !FlushFileBuffers(file))
        status = lastError();
    if (!CloseHandle(file) && status.ok())
        status = lastError();
    if (!status.ok() && newOnly)
        DeleteFileW(path.c_str());
    return status;
}

// A classic rename fails for as long as any reader has the target open. Readers hold the log only for
// moments, at random, so the rename is tried again after short pauses for a while; the live log's own
// tries of a busy replace, each with these inside, still end within a post's wait for the lock.
constexpr ULONGLONG openTargetTriesMs = 120;

Status replace(const std::filesystem::path& source, const std::filesystem::path& target)
{
    // A read-only log refuses the move itself; the new file gets the folder's inherited permissions,
    // which are the ones the log had.
    if (renameReplacingOpenTarget(source, target))
        return {};
    const ULONGLONG deadline = GetTickCount64() + openTargetTriesMs;
    for (DWORD pause = 1;; pause = std::min<DWORD>(pause * 2, 8)) {
        if (MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return {};
        const Status status = lastErrorOn(target, Wanted::itsName);
        if (status.failure != Failure::busy || GetTickCount64() >= deadline)
            return status;
        Sleep(pause);
    }
}

// A hard link fails on an existing name in one step. A move without MOVEFILE_REPLACE_EXISTING does
// too on Windows' own file systems, but Wine looks for the target before it renames, so a Linux copy's
// lock made in between would be replaced; the move stays for file systems without hard links (FAT).
std::optional<Status> moveToNew(const std::filesystem::path& source, const std::filesystem::path& target)
{
    if (CreateHardLinkW(target.c_str(), source.c_str(), nullptr)) {
        DeleteFileW(source.c_str());
        return Status{};
    }
    const DWORD error = GetLastError();
    const bool noHardLinks =
        error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED || error == ERROR_TOO_MANY_LINKS;
    if (!noHardLinks)
        return errorOn(error, target, Wanted::itsName);
    if (MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH))
        return Status{};
    return lastErrorOn(target, Wanted::itsName);
}

Status remove(const std::filesystem::path& path)
{
    if (DeleteFileW(path.c_str()))
        return {};
    const Status status = lastErrorOn(path, Wanted::itsName);
    // A folder in a file's place: only an empty one goes.
    if (status.failure != Failure::notAFile)
        return status;
    if (!RemoveDirectoryW(path.c_str()))
        return lastError();
    return {};
}

Status modificationTime(const std::filesystem::path& path, std::int64_t& msecsSinceEpoch)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return lastError();
    ULARGE_INTEGER time{};
    time.LowPart = data.ftLastWriteTime.dwLowDateTime;
    time.HighPart = data.ftLastWriteTime.dwHighDateTime;
    // File times count 100 ns steps since 1601.
    constexpr std::int64_t from1601To1970 = 11644473600000LL;
    msecsSinceEpoch = std::int64_t(time.QuadPart / 10000) - from1601To1970;
    return {};
}

Status listFolder(const std::filesystem::path& folder, std::vector<std::string>& names)
{
    names.clear();
    WIN32_FIND_DATAW entry{};
    const HANDLE search = FindFirstFileW((folder / L"*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND ? Status{} : fromError(error);
    }
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(utf8(entry.cFileName, -1).c_str());
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return {};
}

bool processRunning(std::int64_t processId)
{
    // An id no process here can have is not cut down to one that some other process may have.
    if (processId <= 0 || processId > std::numeric_limits<DWORD>::max())
        return false;
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(processId));
    if (!process)
        return GetLastError() == ERROR_ACCESS_DENIED;
    DWORD exitCode = 0;
    const bool running = GetExitCodeProcess(process, &exitCode) && exitCode == STILL_ACTIVE;
    CloseHandle(process);
    return running;
}

} // namespace NativeFileOps

#endif
