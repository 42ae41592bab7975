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

// Opens a path for reading without waiting (O_NONBLOCK: opening a FIFO that has no writer would
// block) and refuses a FIFO, a device or a socket, whose reads may block or never end. Folders
// are let through: their reads fail at once. Returns the descriptor (blocking again), or -1 with
// `error` set: the system's text, or "Not a regular file".
int OpenForReading(const char* path, std::string& error);

// Whether a path may be opened as a text file: true for a regular file and for a path that cannot
// be examined (missing, no permission: the reader reports that when it reads); false with `error`
// set for a folder ("Is a directory") and for anything else that is not a regular file ("Not a
// regular file"). Never opens the path, so it never waits.
bool MayOpenAsText(const char* path, std::string& error);
