#pragma once

// What went wrong in a file operation, decided once by the backend that ran it. Plain C++, so that the
// Windows file calls, which need nothing but windows.h, report in the same terms as the Qt side.
enum class FileFailure
{
    none,
    missing,
    // The file is there already (only an exclusive create reports this).
    alreadyExists,
    // Another process or workstation has the file open at this moment; the same call may succeed soon.
    busy,
    // This user may not do this to the file.
    refused,
    // A read-only file or file system.
    readOnly,
    noSpace,
    // A folder, FIFO, device or anything but a regular file stands where a file was expected.
    notAFile,
    // Only the file server backend reports these two.
    serverUnreachable,
    // The file server refused this user, or has not been given a login yet: a login may let the same
    // call succeed.
    loginNeeded,
    other,
};
