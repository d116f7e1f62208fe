#pragma once

// The operating system's file calls behind LocalFileAccess, in plain C++ so that the Windows
// implementation needs nothing but windows.h. One implementation is built per platform.

#include "platform/files/file_failure.h"
#include "platform/files/file_identity.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace NativeFileOps {

using Failure = FileFailure;

struct Status
{
    Failure failure = Failure::none;
    // The system's description of the failure, UTF-8.
    std::string description;

    bool ok() const { return failure == Failure::none; }
};

// Makes the caller's buffer `size` bytes long, keeping the bytes it holds, and returns its start. A read
// fills the caller's own buffer in place, which spares a large log a copy.
using ResizeBuffer = std::function<char*(std::size_t size)>;

// Only regular files are opened: a FIFO or a device could block or never end. Reads stop after
// maxBytes. On failure the buffer's content is undefined.
Status readAll(const std::filesystem::path& path, const ResizeBuffer& resize,
               std::size_t maxBytes = std::string::npos);

// Opens the file and takes its identity from the open handle, so that a network file system's cached
// attributes are brought up to date by the open; reads it whole as readAll does only when that differs
// from known, and sets unchanged otherwise (the buffer is then left as it was).
Status readIfChanged(const std::filesystem::path& path, const std::optional<FileIdentity>& known,
                     FileIdentity& identity, bool& unchanged, const ResizeBuffer& resize);

// Reads with readSome(into, wanted, count) until it reads nothing or maxBytes are in, growing the buffer
// from `expected` bytes (0: unknown); ask for one byte more than the file's reported size, so that a file
// grown meanwhile (or a stale size on a network file system) is read on to its end.
template <typename ReadSome>
Status readInPlace(const ResizeBuffer& resize, std::size_t expected, std::size_t maxBytes, ReadSome readSome)
{
    constexpr std::size_t smallest = 64 * 1024;
    std::size_t length = std::min(expected > 0 ? expected : smallest, maxBytes);
    char* bytes = resize(length);
    std::size_t used = 0;
    while (used < maxBytes) {
        if (used == length) {
            length = std::min(std::max(length * 2, smallest), maxBytes);
            bytes = resize(length);
        }
        std::size_t count = 0;
        if (const Status status = readSome(bytes + used, length - used, count); !status.ok())
            return status;
        if (count == 0)
            break;
        used += count;
    }
    resize(used);
    return {};
}

// Never writes through a symbolic link.
Status writeAll(const std::filesystem::path& path, std::string_view bytes, bool newOnly);
// Refuses a target that is not a regular file, as the rename would put a plain file in the place of a
// FIFO, device, folder or symbolic link. Windows has none of these at a file's name on a share but
// links, which only an administrator makes.
Status replace(const std::filesystem::path& source, const std::filesystem::path& target);
// Gives the complete file source the name target in one step unless target exists (alreadyExists), so
// that others see target whole or not at all; source is gone afterwards when it succeeded. Nothing where
// the file system cannot do that (no hard links, such as FAT off Windows): the caller then falls back.
std::optional<Status> moveToNew(const std::filesystem::path& source, const std::filesystem::path& target);
// Removes a file, or an empty folder in its place.
Status remove(const std::filesystem::path& path);
Status modificationTime(const std::filesystem::path& path, std::int64_t& msecsSinceEpoch);
Status listFolder(const std::filesystem::path& folder, std::vector<std::string>& names);

// Whether a process of this machine with that id still runs; a lock names its holder's process.
bool processRunning(std::int64_t processId);

} // namespace NativeFileOps
