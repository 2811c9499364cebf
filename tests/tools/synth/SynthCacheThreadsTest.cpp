#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "tools/synth/Synth.h"

using namespace dvr::frame;
using namespace dvr::synth;

// Several threads ask one cache for overlapping pictures: each key yields one codestream that every
// thread sees, and nothing races.
TEST(SynthCacheThreads, SharedCacheHandsOutOneCodestreamPerKey) {
    CodestreamCache cache;
    constexpr int kThreads = 4;
    std::vector<std::vector<const std::vector<uint8_t>*>> seen(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 6; ++i) {
                const PictureShape shape{PictureKind::Single, (t + i) % 3, 16, 48};
                seen[t].push_back(cache.get(shape, 2000).get());
            }
        });
    }
    for (auto& th : threads)
        th.join();
    for (int c = 0; c < 3; ++c) {
        const auto expected = cache.get({PictureKind::Single, c, 16, 48}, 2000);
        ASSERT_FALSE(expected->empty());
        for (int t = 0; t < kThreads; ++t) {
            for (int i = 0; i < 6; ++i) {
                if ((t + i) % 3 == c) {
                    EXPECT_EQ(expected.get(), seen[t][size_t(i)]) << t << " " << i;
                }
            }
        }
    }
}
