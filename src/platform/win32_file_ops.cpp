#include "platform/native_file_ops.h"

#include <algorithm>

#if defined(_WIN32)

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
    // Another workstation has the file open without the sharing this call needs, or has it pending
    // deletion after a replace.
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_ACCESS_DENIED:
        failure = Failure::busy;
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

} // namespace

Status readAll(const std::filesystem::path& path, std::string& bytes, std::size_t maxBytes)
{
    bytes.clear();
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, shareAll, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return lastError();
    char chunk[64 * 1024];
    while (bytes.size() < maxBytes) {
        DWORD count = 0;
        const DWORD wanted = DWORD(std::min<std::size_t>(sizeof chunk, maxBytes - bytes.size()));
        if (!ReadFile(file, chunk, wanted, &count, nullptr)) {
            const Status status = lastError();
            CloseHandle(file);
            return status;
        }
        if (count == 0)
            break;
        bytes.append(chunk, count);
    }
    CloseHandle(file);
    return {};
}

Status writeAll(const std::filesystem::path& path, std::string_view bytes, bool newOnly)
{
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, shareAll, nullptr,
                                    newOnly ? CREATE_NEW : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return lastError();
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

Status replace(const std::filesystem::path& source, const std::filesystem::path& target)
{
    // A read-only log refuses the move itself; the new file gets the folder's inherited permissions,
    // which are the ones the log had.
    if (!MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return lastError();
    return {};
}

Status remove(const std::filesystem::path& path)
{
    if (DeleteFileW(path.c_str()))
        return {};
    const Status status = lastError();
    // A folder in a file's place: only an empty one goes.
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
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
    if (processId <= 0)
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
