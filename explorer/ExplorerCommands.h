// The commands that the explorer's listing worker and folder watcher send to the GUI thread, and
// the sink they send them through. The window side turns them into wxThreadEvents (see
// ExplorerThreadEvents.h); tests record them.
#pragma once

constexpr int ID_FOLDER_LISTING_DONE = 313;     // a walk that was not cancelled ended (before 315)
constexpr int ID_FOLDER_LISTING_PROGRESS = 314; // one entry was added to the store
constexpr int ID_FOLDER_LISTING_ENDED = 315;    // the worker's last command, always sent
constexpr int ID_FOLDER_CHANGED = 341;          // the folder watcher saw a change
constexpr int ID_FOLDER_WATCH_ENDED = 342;      // the folder watcher ended by itself

// Receives commands from the listing worker or the folder watcher, on that thread. It must only
// queue them (never wait for the GUI thread). `generation` tells which listing (or watcher) sent
// the command, so that the receiver can drop the commands of one that was stopped.
class ExplorerCommandSink
{
public:
    virtual ~ExplorerCommandSink() = default;
    virtual void PostCommand(int commandId, int generation) = 0;
};
