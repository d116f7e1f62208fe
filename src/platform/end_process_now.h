#pragma once

#include <cstdlib>

// Ends the process at once with the exit code, running no destructors of statics or globals.
[[noreturn]] inline void endProcessNow(int exitCode)
{
#if defined(_WIN32)
    // MinGW's libstdc++ has no std::quick_exit; the program registers no at_quick_exit handlers, so
    // _Exit ends it the same way.
    std::_Exit(exitCode);
#else
    std::quick_exit(exitCode);
#endif
}
