#include "FolderListing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <set>
#include <utility>

#include "ExplorerPathCodec.h"

namespace
{
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

struct WalkContext
{
    bool includeHidden;
    bool recurse;
    bool flat;
    ExplorerCommandSink* target;
    FolderListingThreadParams* params;
    // Device and inode of the folders on the current path of the walk, so that a folder reached
    // again below itself (a bind mount) is not entered twice.
    std::set<std::pair<dev_t, ino_t>> ancestors;
};

// Lists the open folder `dirFd` (closed here) whose path is `folder` into `store`. Returns false
// when the walk was cancelled.
bool WalkFolder(int dirFd, const std::u16string& folder, WSFileStorage& store, WalkContext& context)
{
    DIR* dir = fdopendir(dirFd);
    if (dir == nullptr)
    {
        ::close(dirFd);
        return !Cancelled(context.params);
    }
    const std::u16string prefix = folder == u"/" ? folder : folder + u"/";
    bool goOn = true;
    while (goOn)
    {
        const dirent* entry = readdir(dir);
        if (entry == nullptr)
            break;
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
            continue;
        if (name[0] == '.' && !context.includeHidden)
            continue;

        struct stat info{};
        bool isLink = entry->d_type == DT_LNK;
        if (fstatat(dirfd(dir), name, &info, 0) != 0)
        {
            // A link that points nowhere is listed as itself; an entry that vanished is gone.
            if (fstatat(dirfd(dir), name, &info, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            isLink = S_ISLNK(info.st_mode);
        }
        else if (entry->d_type == DT_UNKNOWN && S_ISDIR(info.st_mode))
        {
            struct stat linkInfo{};
            isLink = fstatat(dirfd(dir), name, &linkInfo, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(linkInfo.st_mode);
        }

        const std::u16string name16 = ExplorerPathFromNative(name);
        WSFileRecord* record = store.AddFile(prefix + name16, false);
        record->FillFromStat(info, name16, store.GetWithIcons());
        Post(context.target, ID_FOLDER_LISTING_PROGRESS, context.params);

        // Links to folders are not followed: a link to an ancestor would recurse without end.
        if (context.recurse && record->isFolder && !isLink)
        {
            const auto key = std::make_pair(info.st_dev, info.st_ino);
            if (context.ancestors.count(key) == 0)
            {
                const int childFd = openat(dirfd(dir), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                if (childFd >= 0)
                {
                    WSFileStorage* destination = &store;
                    if (!context.flat)
                    {
                        destination = &record->GetChildren();
                        destination->SetWithIcons(store.GetWithIcons());
                    }
                    context.ancestors.insert(key);
                    goOn = WalkFolder(childFd, record->path, *destination, context);
                    context.ancestors.erase(key);
                }
            }
        }
        if (Cancelled(context.params))
            goOn = false;
    }
    closedir(dir);
    return goOn;
}
}

void EnumerateFolderIntoStorage(const std::u16string& path, bool includeHidden, WSFileStorage& store, bool recurse,
                                bool flat, ExplorerCommandSink* target, FolderListingThreadParams* params)
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
        return; // not a folder, or gone: an empty store without parent entry

    WalkContext context{includeHidden, recurse, flat, target, params, {}};
    struct stat info{};
    if (fstat(dirFd, &info) == 0)
        context.ancestors.insert({info.st_dev, info.st_ino});
    WalkFolder(dirFd, folder, store, context);

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

int FolderListingWorker::Start(WSFileStorageThreadSafeAccess& storeAccess, ExplorerCommandSink* target, bool recurse,
                               bool includeHidden)
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
