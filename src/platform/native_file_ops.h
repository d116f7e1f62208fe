#pragma once

// The operating system's file calls behind LocalFileAccess, in plain C++ so that the Windows
// implementation needs nothing but windows.h. One implementation is built per platform.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace NativeFileOps {

enum class Failure
{
    none,
    missing,
    alreadyExists,
    // A sharing violation or a file that is open elsewhere: worth a retry.
    busy,
    // Permission denied.
    refused,
    // A read-only file or file system.
    readOnly,
    // A folder, FIFO, device or anything but a regular file where a file was expected.
    notAFile,
    noSpace,
    other,
};

struct Status
{
    Failure failure = Failure::none;
    // The system's description of the failure, UTF-8.
    std::string description;

    bool ok() const { return failure == Failure::none; }
};

// Only regular files are opened: a FIFO or a device could block or never end. Reads stop after
// maxBytes.
Status readAll(const std::filesystem::path& path, std::string& bytes,
               std::size_t maxBytes = std::string::npos);
// Never writes through a symbolic link.
Status writeAll(const std::filesystem::path& path, std::string_view bytes, bool newOnly);
// Refuses a target that is not a regular file, as the rename would put a plain file in the place of a
// FIFO, device, folder or symbolic link. Windows has none of these at a file's name on a share but
// links, which only an administrator makes.
Status replace(const std::filesystem::path& source, const std::filesystem::path& target);
// Removes a file, or an empty folder in its place.
Status remove(const std::filesystem::path& path);
Status modificationTime(const std::filesystem::path& path, std::int64_t& msecsSinceEpoch);
Status listFolder(const std::filesystem::path& folder, std::vector<std::string>& names);

// Whether a process of this machine with that id still runs; a lock names its holder's process.
bool processRunning(std::int64_t processId);

} // namespace NativeFileOps
