// The order-keeping worker pool under uneven work, and a consumer that gives up.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "common/export/OrderedPool.h"

namespace {

using dvr::exporting::OrderedPool;

// Work whose length varies a lot from job to job, so later jobs often finish first.
int slowSquare(int v) {
    volatile int spin = 0;
    for (int i = 0; i < (v % 7) * 20000; ++i)
        spin = spin + 1;
    return v * v;
}

TEST(OrderedPool, ResultsComeInSubmissionOrder) {
    OrderedPool<int, int> pool(3, 4, [](int& job, int) { return slowSquare(job); });
    std::thread producer([&] {
        for (int i = 0; i < 300; ++i)
            ASSERT_TRUE(pool.submit(i));
        pool.close();
    });
    int expected = 0;
    while (std::optional<int> r = pool.next()) {
        EXPECT_EQ(*r, expected * expected);
        ++expected;
    }
    producer.join();
    EXPECT_EQ(expected, 300);
}

TEST(OrderedPool, CancelReleasesABlockedProducerAndEndsTheResults) {
    OrderedPool<int, int> pool(2, 2, [](int& job, int) { return job; });
    std::atomic<int> refused{0};
    std::thread producer([&] {
        for (int i = 0; i < 100; ++i)
            if (!pool.submit(i))
                ++refused;
    });
    EXPECT_EQ(pool.next(), 0);
    pool.cancel();
    producer.join();
    EXPECT_GT(refused.load(), 0);
    while (pool.next()) {
    }
    EXPECT_FALSE(pool.submit(1));
}

}  // namespace
