#include "FolderListing.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "ExplorerPathCodec.h"

namespace {
std::atomic<int> g_lastGeneration{0};

int NextGeneration()
{
    int generation = g_lastGeneration.fetch_add(1) + 1;
    if (generation <= 0)
    {
        // After wrapping round: start again above 0 (0 means "no listing").
        g_lastGeneration.store(1);
        generation = 1;
    }
    return generation;
}

bool Cancelled(const FolderListingThreadParams* params)
{
    return params != nullptr && !params->running.load(std::memory_order_acquire);
}

void Post(ExplorerCommandSink* target, int id, const FolderListingThreadParams* params)
{
    if (target != nullptr)
        target->PostCommand(id, params != nullptr ? params->generation : 0);
}

// One entry of a folder, read while the folder was open.
struct FolderEntry
{
    std::string name;
    struct stat info
    {};
    bool isLink = false;
};

// A folder on the current path of the walk. The walk's root and the folders nearest the one being
// read keep their descriptors open (at most OPEN_FRAMES of them besides the root), whatever the
// depth; a folder further up is opened again when the walk gets back to it.
struct WalkFrame
{
    int fd = -1;
    dev_t device = 0;
    ino_t inode = 0;
    std::string name; // in the folder above; empty for the walk's root
    std::u16string folder;
    WSFileStorage* destination = nullptr;
    std::vector<FolderEntry> entries;
    std::size_t next = 0;
};

constexpr std::size_t OPEN_FRAMES = 8;

std::u16string ReasonText(int error)
{
    char buffer[256];
    return ExplorerPathFromNative(strerror_r(error, buffer, sizeof buffer));
}

// Reads the entries of the open folder `frame.fd` (which stays open). A folder that cannot be
// read, or whose entries cannot be looked at, is reported to `store`.
void ReadFolderEntries(WalkFrame& frame, bool includeHidden, WSFileStorage& report,
                       const FolderListingThreadParams* params)
{
    const int readFd = ::dup(frame.fd);
    DIR* dir = readFd >= 0 ? fdopendir(readFd) : nullptr;
    if (dir == nullptr)
    {
        const int error = errno;
        if (readFd >= 0)
            ::close(readFd);
        report.AddUnreadFolder(frame.folder, ReasonText(error));
        return;
    }
    int entryError = 0;
    for (;;)
    {
        if (Cancelled(params))
            break;
        errno = 0;
        const dirent* entry = readdir(dir);
        if (entry == nullptr)
        {
            if (errno != 0 && entryError == 0)
                entryError = errno;
            break;
        }
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
            continue;
        if (name[0] == '.' && !includeHidden)
            continue;

        FolderEntry item;
        item.isLink = entry->d_type == DT_LNK;
        if (fstatat(frame.fd, name, &item.info, 0) != 0)
        {
            // A link that points nowhere is listed as itself; an entry that vanished is gone; an
            // entry that cannot be looked at (a folder without search permission) is reported.
            if (fstatat(frame.fd, name, &item.info, AT_SYMLINK_NOFOLLOW) != 0)
            {
                if (errno != ENOENT && entryError == 0)
                    entryError = errno;
                continue;
            }
            item.isLink = S_ISLNK(item.info.st_mode);
        }
        else if (entry->d_type == DT_UNKNOWN && S_ISDIR(item.info.st_mode))
        {
            struct stat linkInfo
            {};
            item.isLink =
                fstatat(frame.fd, name, &linkInfo, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(linkInfo.st_mode);
        }
        item.name = name;
        frame.entries.push_back(std::move(item));
    }
    closedir(dir);
    if (entryError != 0)
        report.AddUnreadFolder(frame.folder, ReasonText(entryError));
}

void CloseFrame(WalkFrame& frame)
{
    if (frame.fd >= 0)
        ::close(frame.fd);
    frame.fd = -1;
}

// True when `fd` is open on the folder of `frame` (not one moved into its place meanwhile).
bool IsFrameFolder(int fd, const WalkFrame& frame)
{
    struct stat info
    {};
    return fd >= 0 && fstat(fd, &info) == 0 && info.st_dev == frame.device && info.st_ino == frame.inode;
}

// Opens again the folder of `stack[index]`, whose descriptor was closed, from `below` (the folder
// the walk comes back from, still open): through its "..", or, when that cannot be searched (a
// folder that may be read but not searched) or leads elsewhere, by the names of the folders from
// the nearest folder above that is still open. Gives 0, or the reason why it could not be opened.
int ReopenFrame(std::vector<WalkFrame>& stack, std::size_t index, const WalkFrame& below)
{
    WalkFrame& frame = stack[index];
    if (below.fd >= 0)
    {
        const int fd = openat(below.fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (IsFrameFolder(fd, frame))
        {
            frame.fd = fd;
            return 0;
        }
        if (fd >= 0)
            ::close(fd);
    }
    std::size_t open = index;
    while (open > 0 && stack[open].fd < 0)
        --open;
    if (stack[open].fd < 0)
        return EBADF;
    int fd = stack[open].fd;
    for (std::size_t step = open + 1; step <= index; ++step)
    {
        const int child =
            openat(fd, stack[step].name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int error = child < 0 ? errno : ESTALE;
        if (fd != stack[open].fd)
            ::close(fd);
        if (!IsFrameFolder(child, stack[step]))
        {
            if (child >= 0)
                ::close(child);
            return error;
        }
        fd = child;
    }
    frame.fd = fd;
    return 0;
}

// Lists the open folder `rootFd` (closed here) whose path is `folder` into `store`, depth first
// with each folder's subtree after its entry, without recursion. Returns false when the walk was
// cancelled.
bool WalkTree(int rootFd, const std::u16string& folder, WSFileStorage& store, bool includeHidden,
              bool recurse, bool flat, ExplorerCommandSink* target, FolderListingThreadParams* params)
{
    // Device and inode of the folders on the current path of the walk, so that a folder reached
    // again below itself (a bind mount) is not entered twice.
    std::set<std::pair<dev_t, ino_t>> ancestors;
    std::vector<WalkFrame> stack;
    {
        WalkFrame root;
        root.fd = rootFd;
        root.folder = folder;
        root.destination = &store;
        struct stat info
        {};
        if (fstat(rootFd, &info) == 0)
        {
            root.device = info.st_dev;
            root.inode = info.st_ino;
            ancestors.insert({info.st_dev, info.st_ino});
        }
        ReadFolderEntries(root, includeHidden, store, params);
        stack.push_back(std::move(root));
    }

    bool goOn = !Cancelled(params);
    while (goOn && !stack.empty())
    {
        WalkFrame& frame = stack.back();
        if (frame.next >= frame.entries.size())
        {
            // Done with this folder: back to its parent, opened again if its descriptor was closed.
            WalkFrame finished = std::move(stack.back());
            stack.pop_back();
            ancestors.erase({finished.device, finished.inode});
            if (!stack.empty())
            {
                WalkFrame& parent = stack.back();
                // Without it, the rest of its entries are listed but its subfolders not entered.
                if (parent.fd < 0 && parent.next < parent.entries.size())
                {
                    if (const int error = ReopenFrame(stack, stack.size() - 1, finished); error != 0)
                        store.AddUnreadFolder(parent.folder, ReasonText(error));
                }
            }
            CloseFrame(finished);
            continue;
        }

        FolderEntry& item = frame.entries[frame.next++];
        const std::u16string prefix = frame.folder == u"/" ? frame.folder : frame.folder + u"/";
        const std::u16string name16 = ExplorerPathFromNative(item.name);
        WSFileRecord* record = frame.destination->AddFile(prefix + name16, false);
        record->FillFromStat(item.info, name16, store.GetWithIcons());
        Post(target, ID_FOLDER_LISTING_PROGRESS, params);
        if (Cancelled(params))
        {
            goOn = false;
            break;
        }

        // Links to folders are not followed: a link to an ancestor would recurse without end.
        if (!recurse || !record->isFolder || item.isLink || frame.fd < 0)
            continue;
        const auto key = std::make_pair(item.info.st_dev, item.info.st_ino);
        if (ancestors.count(key) != 0)
            continue;
        WalkFrame child;
        child.fd = openat(frame.fd, item.name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (child.fd < 0)
        {
            store.AddUnreadFolder(record->path, ReasonText(errno));
            continue;
        }
        child.device = item.info.st_dev;
        child.inode = item.info.st_ino;
        child.name = item.name;
        child.folder = record->path;
        child.destination = frame.destination;
        if (!flat)
        {
            child.destination = &record->GetChildren();
            child.destination->SetWithIcons(store.GetWithIcons());
        }
        ReadFolderEntries(child, includeHidden, store, params);
        ancestors.insert(key);
        stack.push_back(std::move(child)); // `frame` is not used after this
        // The folder OPEN_FRAMES above the new one gives up its descriptor; the root keeps its.
        if (stack.size() > OPEN_FRAMES + 1)
            CloseFrame(stack[stack.size() - 1 - OPEN_FRAMES]);
    }
    for (WalkFrame& frame : stack)
        CloseFrame(frame);
    return goOn && !Cancelled(params);
}
} // namespace

void EnumerateFolderIntoStorage(const std::u16string& path, bool includeHidden, WSFileStorage& store,
                                bool recurse, bool flat, ExplorerCommandSink* target,
                                FolderListingThreadParams* params)
{
    std::u16string folder = path;
    while (folder.size() > 1 && folder.back() == u'/')
        folder.pop_back();
    store.SetFolder(folder);
    store.Clear(true);
    if (folder.empty())
        return;

    const std::string native = ExplorerPathToNative(folder);
    const int dirFd = ::open(native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
    {
        // Not a folder, or gone: an empty store without parent entry. A folder that is there but
        // cannot be opened is reported.
        const int error = errno;
        if (error != ENOENT && error != ENOTDIR)
            store.AddUnreadFolder(folder, ReasonText(error));
        return;
    }
    WalkTree(dirFd, folder, store, includeHidden, recurse, flat, target, params);

    store.AddFile(folder == u"/" ? u"//.." : folder + u"/..", true);
}

void FolderEnumerationThreadProc(FolderListingThreadParams* params)
{
    if (params == nullptr)
        return;
    if (params->storeAccess != nullptr)
    {
        WSFileStorageAccessGuard guard(*params->storeAccess);
        WSFileStorage& store = guard.Get();
        const std::u16string folder = store.GetFolder();
        store.SetListingState(1);
        EnumerateFolderIntoStorage(folder, params->includeHidden, store, params->recurse, params->flat,
                                   params->target.load(std::memory_order_acquire), params);
        if (Cancelled(params))
            store.Clear(true);
    }
    ExplorerCommandSink* target = params->target.load(std::memory_order_acquire);
    if (target != nullptr)
    {
        if (!Cancelled(params))
            target->PostCommand(params->doneId, params->generation);
        target->PostCommand(params->endId, params->generation);
    }
}

// ---- FolderListingWorker

FolderListingWorker::~FolderListingWorker()
{
    StopWorkerAndWait();
}

int FolderListingWorker::Start(WSFileStorageThreadSafeAccess& storeAccess, ExplorerCommandSink* target,
                               bool recurse, bool includeHidden)
{
    StopWorkerAndWait();
    auto params = std::make_unique<FolderListingThreadParams>();
    params->storeAccess = &storeAccess;
    params->recurse = recurse;
    params->includeHidden = includeHidden;
    params->flat = true;
    params->doneId = ID_FOLDER_LISTING_DONE;
    params->endId = ID_FOLDER_LISTING_ENDED;
    params->target.store(target);
    params->generation = NextGeneration();
    params->running.store(true);
    m_thread = std::thread(FolderEnumerationThreadProc, params.get());
    m_params = std::move(params);
    m_generation = m_params->generation;
    return m_generation;
}

void FolderListingWorker::RequestStop()
{
    if (m_params)
        m_params->running.store(false, std::memory_order_release);
}

void FolderListingWorker::StopWorkerAndWait()
{
    if (!m_thread.joinable())
        return;
    RequestStop();
    m_thread.join();
    m_params.reset();
    m_generation = 0;
}
