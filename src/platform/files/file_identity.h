#pragma once

#include <cstdint>

// Which version of a file an open handle has: its size, its modification time in the finest unit the
// backend gives (nanoseconds since 1970 off Windows, 100 ns FILETIME steps on Windows, whatever the SMB
// library's fstat gives) and, where there is one, the file's id and the volume it lies on (0 where there
// is none). Plain C++, so that the Windows file calls fill it in as they are.
//
// Two looks at the live log with the same identity are taken as the same bytes. That holds because every
// post and clear here writes a new file and renames it over the log (a new file id, and a post always
// grows the log), and because a copy of the program that rewrites the log in place still changes its size
// and its time. A change that keeps size, time and file, such as an edit that restores the time, is not
// seen this way: the refresh cycle reads the whole log now and then for that.
struct FileIdentity
{
    std::int64_t size = 0;
    std::int64_t modified = 0;
    std::uint64_t volume = 0;
    std::uint64_t file = 0;

    bool operator==(const FileIdentity&) const = default;
};
