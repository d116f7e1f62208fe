#include "platform/large_buffers.h"

// Any C library header tells whether this is glibc.
#include <cstdlib>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

void LargeBuffers::returnToSystemWhenFreed()
{
#if defined(__GLIBC__)
    // Fixed rather than adjusted on the way: every buffer of a megabyte or more is mapped on its own.
    mallopt(M_MMAP_THRESHOLD, 1024 * 1024);
#endif
}
