#pragma once

// How the process's memory allocator treats buffers the size of a large live log.
namespace LargeBuffers {

// Every refresh reads the whole log into a new buffer and frees the last one. glibc's allocator would
// raise its threshold for mapping such buffers once the first is freed, keep the later ones in its heaps
// and hand little of that back, so a few ticks would leave the process several logs larger. Windows
// returns buffers of this size to the system by itself.
void returnToSystemWhenFreed();

} // namespace LargeBuffers
