// A pool of pre-built boxes with a background refill. A refill worker only constructs boxes
// into a block of its own; it hands the block over through a mutex-guarded queue and a
// notification, and the GUI thread merges it. The pool's destructor stops and joins every
// worker and frees undelivered blocks, so no worker outlives the pool.
#pragma once

#include <atomic>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "LGridTypes.h"

class LGridBoxPool
{
public:
    static constexpr size_t FILL_COUNT = 2000;
    static constexpr size_t REFILL_BELOW = 1000;
    static constexpr size_t MAX_RUNNING_REFILLS = 2;

    // Boxes are made with owner as their grid.
    explicit LGridBoxPool(LGridViewBase* owner);
    LGridBoxPool(const LGridBoxPool&) = delete;
    LGridBoxPool& operator=(const LGridBoxPool&) = delete;
    ~LGridBoxPool();

    // Adds count new boxes now.
    void Fill(size_t count);
    // The pooled box with the lowest address, removed from the pool; when the pool is empty the
    // delivered refills are merged first. Null when there is none.
    LGridBox* Take();
    // Starts a refill when the pool is low and fewer than two run. notify is called on the
    // worker thread once its block is queued; it must only post (the window uses CallAfter).
    void StartRefillIfLow(std::function<void()> notify);
    // Merges every queued block into the pool (GUI thread).
    void DeliverRefills();
    // Waits for every worker to finish (their blocks stay queued).
    void JoinWorkers();

    size_t Size() const { return m_boxes.size(); }
    size_t RunningRefills() const { return m_runningRefills; }

private:
    struct Block;

    LGridViewBase* m_owner = nullptr;
    std::set<LGridBox*> m_boxes; // ordered by address
    size_t m_runningRefills = 0;
    std::shared_ptr<std::atomic<bool>> m_alive;
    std::mutex m_queueMutex;
    std::deque<std::shared_ptr<Block>> m_queue;
    std::vector<std::thread> m_workers;
};
