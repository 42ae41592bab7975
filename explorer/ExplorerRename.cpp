#include "ExplorerRename.h"

#include <cerrno>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>

RenameCheck RenameTargetFor(const std::string& path, const std::string& newName, std::string& target)
{
    target.clear();
    if (newName.empty())
        return RenameCheck::EmptyName;
    if (newName == "." || newName == ".." || newName.find('/') != std::string::npos)
        return RenameCheck::BadName;
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return RenameCheck::NoFolder;
    target = path.substr(0, slash + 1) + newName;
    return RenameCheck::Ok;
}

RenameOutcome RenameEntryNoReplace(const std::string& source, const std::string& target)
{
    RenameOutcome outcome;
    std::string destination = target;
    struct stat targetInfo
    {};
    struct stat sourceInfo
    {};
    if (stat(target.c_str(), &targetInfo) == 0 && S_ISDIR(targetInfo.st_mode))
    {
        const bool same = lstat(source.c_str(), &sourceInfo) == 0 && sourceInfo.st_dev == targetInfo.st_dev &&
                          sourceInfo.st_ino == targetInfo.st_ino;
        if (!same)
        {
            const size_t slash = source.rfind('/');
            destination = target + "/" + (slash == std::string::npos ? source : source.substr(slash + 1));
        }
    }
    if (renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, destination.c_str(), RENAME_NOREPLACE) != 0)
    {
        outcome.error = errno;
        return outcome;
    }
    outcome.moved = true;
    outcome.newPath = destination;
    return outcome;
}
