#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

#include "LGridBox.h"
#include "LGridBoxPool.h"

TEST(GridBoxPool, TakesLowestAddressAndRefillsInTheBackground)
{
    LGridBoxPool pool(nullptr);
    pool.Fill(LGridBoxPool::FILL_COUNT);
    ASSERT_EQ(pool.Size(), 2000u);
    std::atomic<int> notifications{0};
    std::vector<LGridBox*> taken;
    for (int i = 0; i < 1001; ++i)
    {
        LGridBox* box = pool.Take();
        ASSERT_NE(box, nullptr);
        if (!taken.empty())
        {
            EXPECT_LT(taken.back(), box);
        }
        taken.push_back(box);
        pool.StartRefillIfLow([&] { ++notifications; });
    }
    EXPECT_EQ(pool.Size(), 999u);
    EXPECT_EQ(pool.RunningRefills(), 1u) << "one refill once the pool dropped below 1000";
    pool.StartRefillIfLow([&] { ++notifications; });
    pool.StartRefillIfLow([&] { ++notifications; });
    EXPECT_EQ(pool.RunningRefills(), 2u) << "at most two run";
    pool.JoinWorkers();
    EXPECT_EQ(notifications.load(), 2);
    pool.DeliverRefills();
    EXPECT_EQ(pool.Size(), 999u + 4000u);
    EXPECT_EQ(pool.RunningRefills(), 0u);
    for (LGridBox* box : taken)
        delete box;
}

TEST(GridBoxPool, EmptyPoolDrainsDeliveredBlocks)
{
    LGridBoxPool pool(nullptr);
    pool.StartRefillIfLow(nullptr);
    pool.JoinWorkers();
    LGridBox* box = pool.Take(); // nothing merged yet: the take drains the queue itself
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(pool.Size(), 1999u);
    delete box;
}

TEST(GridBoxPool, DestroyingWithRunningRefillsJoinsThem)
{
    // Both workers queue their blocks and then wait in their notification until released: the
    // pool's destruction must wait for them (and free the undelivered blocks, which the leak
    // check of the sanitizer build would report otherwise).
    auto pool = std::make_unique<LGridBoxPool>(nullptr);
    std::atomic<int> started{0};
    std::atomic<int> finished{0};
    std::atomic<bool> release{false};
    auto notify = [&] {
        ++started;
        while (!release.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ++finished;
    };
    pool->StartRefillIfLow(notify);
    pool->StartRefillIfLow(notify);
    for (int i = 0; i < 20000 && started.load() < 2; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(started.load(), 2);

    std::atomic<bool> destroyed{false};
    std::thread destroyer([&] {
        pool.reset();
        destroyed = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(destroyed.load()) << "the pool went away while its workers still ran";
    release = true;
    destroyer.join();
    EXPECT_TRUE(destroyed.load());
    EXPECT_EQ(finished.load(), 2);
}
