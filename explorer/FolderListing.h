// The folder listing worker: a thread that lists a folder (and, when asked, its subfolders) into
// the file store and reports each entry, the end of a finished walk and its own end to a command
// sink. It holds the store for its whole walk and can be cancelled after any entry.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "ExplorerCommands.h"
#include "WSFileStorage.h"

// One listing's parameters. `running` and `target` are written by the GUI thread and read by the
// worker without a lock.
struct FolderListingThreadParams
{
    std::atomic<bool> running{false};
    std::atomic<ExplorerCommandSink*> target{nullptr};
    uint16_t doneId = 0xFFFF;
    uint16_t endId = 0xFFFF;
    WSFileStorageThreadSafeAccess* storeAccess = nullptr;
    bool recurse = false;
    bool includeHidden = false;
    bool flat = true;
    // Sent with every command of this listing.
    int generation = 0;
};

// The worker's procedure: holds the store, lists the store's folder into it (a cancelled walk
// leaves the store empty), then sends `doneId` unless cancelled and `endId` always.
void FolderEnumerationThreadProc(FolderListingThreadParams* params);

// Lists one folder into a store: final '/' are dropped (not from the root "/"), the store's
// folder becomes the path, the store is cleared and filled, and the parent entry (path + "/..")
// is appended last. A path that cannot be opened as a folder leaves the store empty with its
// folder set. Sends 314 per entry added. `params` (may be null) is polled for cancellation.
void EnumerateFolderIntoStorage(const std::u16string& path, bool includeHidden, WSFileStorage& store,
                                bool recurse, bool flat, ExplorerCommandSink* target,
                                FolderListingThreadParams* params);

// The listing worker as the file list holds it: at most one listing at a time.
class FolderListingWorker
{
public:
    FolderListingWorker() = default;
    ~FolderListingWorker();
    FolderListingWorker(const FolderListingWorker&) = delete;
    FolderListingWorker& operator=(const FolderListingWorker&) = delete;

    // Stops a running listing (as StopWorkerAndWait), then lists the store's folder on a new
    // thread, sending to `target` (null: no commands). Returns the generation the commands carry.
    int Start(WSFileStorageThreadSafeAccess& storeAccess, ExplorerCommandSink* target, bool recurse,
              bool includeHidden);

    // Cancels the listing, waits for its thread to end and forgets it; commands of that listing
    // still queued are no longer accepted. Does nothing without a listing. Never call it while
    // holding the store: the worker needs it to finish.
    void StopWorkerAndWait();

    // Asks the running listing to stop after its current entry, without waiting.
    void RequestStop();

    // True while a listing was started and not yet stopped (it may have finished its walk).
    bool HasWorker() const { return m_thread.joinable(); }
    // The generation of the listing that was started last and not stopped; 0 when there is none.
    int GetGeneration() const { return m_generation; }
    // True for a command of the current listing: the receiver drops the others.
    bool AcceptsCommand(int generation) const { return generation != 0 && generation == m_generation; }

private:
    std::unique_ptr<FolderListingThreadParams> m_params;
    std::thread m_thread;
    int m_generation = 0;
};
