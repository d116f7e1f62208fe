#include "check.h"

#include <cstdio>

namespace WineCheck {

namespace {
int failureCount = 0;
} // namespace

void fail(const char* file, int line, const std::string& what)
{
    ++failureCount;
    std::fprintf(stderr, "FAIL %s:%d: %s\n", file, line, what.c_str());
    std::fflush(stderr);
}

int failures()
{
    return failureCount;
}

HANDLE startSelf(const std::wstring& arguments)
{
    wchar_t program[MAX_PATH];
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring commandLine = L"\"" + std::wstring(program) + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        fail(__FILE__, __LINE__, "cannot start a copy of this program");
        return nullptr;
    }
    CloseHandle(process.hThread);
    return process.hProcess;
}

DWORD finish(HANDLE process)
{
    if (!process)
        return DWORD(-1);
    WaitForSingleObject(process, INFINITE);
    DWORD code = DWORD(-1);
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return code;
}

HANDLE namedEvent(const std::wstring& name)
{
    return CreateEventW(nullptr, TRUE, FALSE, (L"Local\\chatslate-check-" + name).c_str());
}

LARGE_INTEGER now()
{
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    return counter;
}

double msecsSince(LARGE_INTEGER start)
{
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    return double(now().QuadPart - start.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

} // namespace WineCheck
