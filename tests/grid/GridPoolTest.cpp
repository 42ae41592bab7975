#include <atomic>

#include <gtest/gtest.h>

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
    auto pool = std::make_unique<LGridBoxPool>(nullptr);
    pool->StartRefillIfLow(nullptr);
    pool->StartRefillIfLow(nullptr);
    pool.reset(); // joins, frees the undelivered blocks
    SUCCEED();
}
