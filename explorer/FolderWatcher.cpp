#include "FolderWatcher.h"

#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <set>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include "ExplorerPathCodec.h"
#include "PathHelpers.h"

namespace {
std::atomic<int> g_lastWatcherGeneration{0};

constexpr uint32_t kWatchMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_MODIFY | IN_ATTRIB |
                                IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
// A full event queue (IN_Q_OVERFLOW) lost changes: it counts as one.
constexpr uint32_t kChangeMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_MODIFY | IN_ATTRIB |
                                 IN_DELETE_SELF | IN_MOVE_SELF | IN_Q_OVERFLOW;

void WatchFolders(std::shared_ptr<FolderWatcherThreadParams> params, std::shared_ptr<std::atomic<bool>> alive)
{
    const int inotifyFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    std::set<int> watches;
    if (inotifyFd >= 0)
    {
        for (const std::u16string& folder : params->folders)
        {
            const std::string native = ExplorerPathToNative(folder);
            const int watch = native.empty() ? -1 : inotify_add_watch(inotifyFd, native.c_str(), kWatchMask);
            if (watch >= 0)
                watches.insert(watch);
        }
    }
    if (!watches.empty())
        params->armed.store(true, std::memory_order_release);

    alignas(inotify_event) char buffer[16 * 1024];
    while (!watches.empty() && params->running.load(std::memory_order_acquire))
    {
        pollfd fds[2] = {{inotifyFd, POLLIN, 0}, {params->wakeFd, POLLIN, 0}};
        const int ready = poll(fds, params->wakeFd >= 0 ? 2 : 1, kFolderWatcherPollMs);
        if (ready < 0)
        {
            if (errno == EINTR)
                continue;
            break;
        }
        if (!params->running.load(std::memory_order_acquire))
            break;
        if (ready == 0 || (fds[0].revents & POLLIN) == 0)
        {
            if ((fds[0].revents & (POLLERR | POLLNVAL)) != 0)
                break;
            continue;
        }
        // One command per wake-up, however many changes it brought.
        bool changed = false;
        for (;;)
        {
            const ssize_t length = read(inotifyFd, buffer, sizeof buffer);
            if (length <= 0)
                break;
            for (ssize_t offset = 0; offset < length;)
            {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
                if ((event->mask & kChangeMask) != 0)
                    changed = true;
                if ((event->mask & IN_IGNORED) != 0)
                    watches.erase(event->wd);
                offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        if (!params->running.load(std::memory_order_acquire))
            break;
        ExplorerCommandSink* target = params->target.load(std::memory_order_acquire);
        if (changed && target != nullptr)
            target->PostCommand(ID_FOLDER_CHANGED, params->generation);
    }
    if (inotifyFd >= 0)
        close(inotifyFd);
    alive->store(false, std::memory_order_release);
    ExplorerCommandSink* target = params->target.load(std::memory_order_acquire);
    if (target != nullptr)
        target->PostCommand(ID_FOLDER_WATCH_ENDED, params->generation);
}
} // namespace

std::vector<std::u16string> ComposeWatchedFolders(const std::u16string& storeFolder,
                                                  std::vector<std::u16string> extraFolders,
                                                  const std::u16string& activeDocumentPath)
{
    if (!activeDocumentPath.empty())
    {
        std::u16string documentFolder;
        SplitPath(activeDocumentPath.c_str(), documentFolder);
        if (!documentFolder.empty())
            extraFolders.push_back(documentFolder);
    }
    std::vector<std::u16string> folders{storeFolder};
    std::u16string normalizedStore = storeFolder;
    NormalizePath(normalizedStore, false);
    for (const std::u16string& extra : extraFolders)
    {
        std::u16string normalized = extra;
        NormalizePath(normalized, false);
        if (normalized != normalizedStore)
            folders.push_back(extra);
    }
    return folders;
}

FolderWatcher::~FolderWatcher()
{
    Stop();
}

bool FolderWatcher::Start(const std::vector<std::u16string>& folders, ExplorerCommandSink* target)
{
    if (m_thread.joinable())
        return false;
    auto params = std::make_shared<FolderWatcherThreadParams>();
    params->folders = folders;
    params->generation = g_lastWatcherGeneration.fetch_add(1) + 1;
    params->wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    params->target.store(target);
    params->running.store(true);
    auto alive = std::make_shared<std::atomic<bool>>(true);
    m_thread = std::thread(WatchFolders, params, alive);
    m_params = std::move(params);
    m_alive = std::move(alive);
    return true;
}

void FolderWatcher::Stop()
{
    if (!m_params)
        return;
    m_params->target.store(nullptr, std::memory_order_release);
    m_params->running.store(false, std::memory_order_release);
    if (m_params->wakeFd >= 0)
    {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(m_params->wakeFd, &one, sizeof one);
    }
    if (m_thread.joinable())
        m_thread.join();
    if (m_params->wakeFd >= 0)
        close(m_params->wakeFd);
    m_params.reset();
    m_alive.reset();
}

bool FolderWatcher::IsWatching() const
{
    return m_alive && m_alive->load(std::memory_order_acquire);
}

bool FolderWatcher::IsArmed() const
{
    return m_params && m_params->armed.load(std::memory_order_acquire);
}

std::vector<std::u16string> FolderWatcher::GetFolders() const
{
    return m_params ? m_params->folders : std::vector<std::u16string>{};
}
