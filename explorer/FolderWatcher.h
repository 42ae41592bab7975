// The folder watcher: a thread that watches folders (not their subfolders) for added, removed,
// renamed and changed entries and sends one ID_FOLDER_CHANGED per batch of changes. A stop wakes
// it at once and waits for its end.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ExplorerCommands.h"

// The longest the watcher waits for a change before it looks at its running flag again; a stop
// does not wait for it, as it wakes the watcher.
inline constexpr int kFolderWatcherPollMs = 500;

// One watcher's parameters. `running` and `target` are written by the GUI thread and read by the
// watcher without a lock; the block lives until both threads are done with it.
struct FolderWatcherThreadParams
{
    std::vector<std::u16string> folders;
    std::atomic<bool> running{false};
    // Set by the watcher once its watches are in place (never when no folder could be watched).
    std::atomic<bool> armed{false};
    std::atomic<ExplorerCommandSink*> target{nullptr};
    std::vector<std::u16string> spareFolders;
    int generation = 0;
    // Written to wake the watcher (an eventfd), -1 when none.
    int wakeFd = -1;
};

// The folders a new watcher watches: the store's folder first, then every extra folder whose
// normalized form (`NormalizePath`, exact comparison) differs from the store folder's. The
// folder of the active document, when there is one, is the last extra folder.
std::vector<std::u16string> ComposeWatchedFolders(const std::u16string& storeFolder,
                                                  std::vector<std::u16string> extraFolders,
                                                  const std::u16string& activeDocumentPath);

class FolderWatcher
{
public:
    FolderWatcher() = default;
    ~FolderWatcher();
    FolderWatcher(const FolderWatcher&) = delete;
    FolderWatcher& operator=(const FolderWatcher&) = delete;

    // Starts watching unless a watcher exists (then nothing changes and false is returned).
    // Folders that cannot be watched are skipped; when none can be, the watcher ends at once and
    // sends ID_FOLDER_WATCH_ENDED. A watcher whose folders all vanish ends the same way.
    bool Start(const std::vector<std::u16string>& folders, ExplorerCommandSink* target);

    // Clears the target, then the running flag, wakes the thread and waits for it; nothing is
    // sent after it returns. Returns at once, also when the watcher has already ended.
    void Stop();

    // True from Start until Stop (the thread may have ended by itself meanwhile).
    bool HasWatcher() const { return m_thread.joinable(); }
    // True while the watcher thread still runs its loop (also before its watches are in place).
    bool IsWatching() const;
    // True once the watcher's watches are in place: every change made after that is reported.
    // It stays true when the watcher ends by itself, and is never true for a watcher that could
    // watch none of its folders.
    bool IsArmed() const;
    int GetGeneration() const { return m_params ? m_params->generation : 0; }
    // The folders of the current watcher (empty without one).
    std::vector<std::u16string> GetFolders() const;

private:
    std::shared_ptr<FolderWatcherThreadParams> m_params;
    std::shared_ptr<std::atomic<bool>> m_alive;
    std::thread m_thread;
};
