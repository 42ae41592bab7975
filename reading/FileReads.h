// Small POSIX helpers shared by the readers of this library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

// The system's text for an errno value.
std::string ErrnoText(int error);

// Reads up to `size` bytes at `offset`, looping over short reads and EINTR. Returns the count read
// (fewer only at the end of the file) or -1 on error (errno kept).
ssize_t PreadFully(int fd, uint8_t* into, size_t size, uint64_t offset);
