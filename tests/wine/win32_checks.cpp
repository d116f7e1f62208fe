// Runs the Windows backends as a Windows program: under Wine in the test suite, or on Windows itself.
//   win32_checks files     the file checks, in the current folder, which must be empty
//   win32_checks windows   the window order checks, on the desktop
// Other first arguments are the roles of the copies that the file checks start.

#include "file_checks.h"
#include "window_checks.h"

#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: win32_checks files|windows\n");
        return 2;
    }
    const std::wstring what = argv[1];
    if (what == L"files" || what == L"windows") {
        const int failures = what == L"files" ? FileChecks::run() : WindowChecks::run();
        std::printf("%s: %d failed\n", failures ? "FAILED" : "passed", failures);
        return failures ? 1 : 0;
    }
    return FileChecks::runRole(argc, argv);
}
