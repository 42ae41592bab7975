#include "FileReads.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

std::string ErrnoText(int error)
{
    char text[1024];
    text[0] = '\0';
    // The GNU variant may return a static string instead of filling the buffer.
    const char* message = strerror_r(error, text, sizeof(text));
    return message ? std::string(message) : std::string(text);
}

ssize_t PreadFully(int fd, uint8_t* into, size_t size, uint64_t offset)
{
    size_t done = 0;
    while (done < size)
    {
        ssize_t got = pread(fd, into + done, size - done, static_cast<off_t>(offset + done));
        if (got < 0)
        {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (got == 0)
            break;
        done += static_cast<size_t>(got);
    }
    return static_cast<ssize_t>(done);
}
