#include "LGridBoxPool.h"

#include "LGridBox.h"

// The boxes one refill worker built. Whatever is never delivered is freed with the block.
struct LGridBoxPool::Block
{
    std::vector<LGridBox*> boxes;

    ~Block()
    {
        for (LGridBox* box : boxes)
            delete box;
    }
};

namespace {

// Runs on the worker thread: only constructs boxes, touches nothing of the grid.
std::vector<LGridBox*> BuildBoxes(LGridViewBase* owner, size_t count, const std::atomic<bool>& alive)
{
    std::vector<LGridBox*> boxes;
    boxes.reserve(count);
    for (size_t i = 0; i < count && alive.load(std::memory_order_relaxed); ++i)
        boxes.push_back(new LGridBox(owner));
    return boxes;
}

} // namespace

LGridBoxPool::LGridBoxPool(LGridViewBase* owner)
    : m_owner(owner)
    , m_alive(std::make_shared<std::atomic<bool>>(true))
{}

LGridBoxPool::~LGridBoxPool()
{
    m_alive->store(false);
    JoinWorkers();
    m_queue.clear(); // undelivered blocks free their boxes
    for (LGridBox* box : m_boxes)
        delete box;
    m_boxes.clear();
}

void LGridBoxPool::Fill(size_t count)
{
    for (size_t i = 0; i < count; ++i)
        m_boxes.insert(new LGridBox(m_owner));
}

LGridBox* LGridBoxPool::Take()
{
    if (m_boxes.empty())
        DeliverRefills();
    if (m_boxes.empty())
        return nullptr;
    LGridBox* box = *m_boxes.begin();
    m_boxes.erase(m_boxes.begin());
    return box;
}

void LGridBoxPool::StartRefillIfLow(std::function<void()> notify)
{
    if (m_boxes.size() >= REFILL_BELOW || m_runningRefills >= MAX_RUNNING_REFILLS)
        return;
    ++m_runningRefills;
    auto alive = m_alive;
    LGridViewBase* owner = m_owner;
    m_workers.emplace_back([this, alive, owner, notify = std::move(notify)] {
        auto block = std::make_shared<Block>();
        block->boxes = BuildBoxes(owner, FILL_COUNT, *alive);
        if (!alive->load())
            return; // the pool is going away; the block frees its boxes
        {
            std::lock_guard<std::mutex> lock(m_queueMutex);
            m_queue.push_back(std::move(block));
        }
        if (notify)
            notify();
    });
}

void LGridBoxPool::DeliverRefills()
{
    std::deque<std::shared_ptr<Block>> delivered;
    {
        std::lock_guard<std::mutex> lock(m_queueMutex);
        delivered.swap(m_queue);
    }
    for (auto& block : delivered)
    {
        m_boxes.insert(block->boxes.begin(), block->boxes.end());
        block->boxes.clear();
        if (m_runningRefills > 0)
            --m_runningRefills;
    }
    if (m_runningRefills == 0)
        JoinWorkers(); // every worker has queued its block and is ending
}

void LGridBoxPool::JoinWorkers()
{
    for (std::thread& worker : m_workers)
    {
        if (worker.joinable())
            worker.join();
    }
    m_workers.clear();
}
