#pragma once

// A small check harness for the Windows backends run under Wine: plain C++ and Win32, no Qt and no
// test framework, as neither is available for the cross compiler.

#include <string>
#include <windows.h>

namespace WineCheck {

// Counts the failed checks of this process and names each on stderr.
void fail(const char* file, int line, const std::string& what);
int failures();

// A copy of this program with these arguments, sharing the console and the current folder.
HANDLE startSelf(const std::wstring& arguments);
// Waits for the process to end and closes its handle; its exit code.
DWORD finish(HANDLE process);

// A manual-reset event that copies of this program find by name.
HANDLE namedEvent(const std::wstring& name);

double msecsSince(LARGE_INTEGER start);
LARGE_INTEGER now();

} // namespace WineCheck

#define CHECK(condition, what)                                                                               \
    ((condition) ? void() : WineCheck::fail(__FILE__, __LINE__, std::string(#condition " - ") + (what)))
