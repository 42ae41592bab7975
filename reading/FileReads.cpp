#include "FileReads.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const char* const kNotRegular = "Not a regular file";
}

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

int OpenForReading(const char* path, std::string& error)
{
    int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
    {
        // A socket fails here already (ENXIO): say what it is rather than why open(2) failed.
        const int reason = errno;
        struct stat info;
        const bool special = stat(path, &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode);
        error = special ? kNotRegular : ErrnoText(reason);
        return -1;
    }
    struct stat info;
    if (fstat(fd, &info) != 0)
    {
        error = ErrnoText(errno);
        close(fd);
        return -1;
    }
    if (!S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode))
    {
        error = kNotRegular;
        close(fd);
        return -1;
    }
    const int flags = fcntl(fd, F_GETFL);
    if (flags >= 0)
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

bool MayOpenAsText(const char* path, std::string& error)
{
    struct stat info;
    if (path == nullptr || stat(path, &info) != 0 || S_ISREG(info.st_mode))
        return true;
    error = S_ISDIR(info.st_mode) ? ErrnoText(EISDIR) : kNotRegular;
    return false;
}
