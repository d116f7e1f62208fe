#pragma once

// Checks of the Windows file backend, run by several copies of this program at once.

namespace FileChecks {

// The checks, in the current folder, which must be empty. Returns the number of failures.
int run();
// A role of a copy that run() starts; the arguments follow the role's name. Returns the exit code.
int runRole(int argc, wchar_t** argv);

} // namespace FileChecks
