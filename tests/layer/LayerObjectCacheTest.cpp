#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "layer/LayerObjectCache.h"
#include "layer/OpenXRLayer.h"

namespace {

// Two words that belong together, as a time conversion's function and instance do.
struct Pair {
    uint64_t value;
    uint64_t check;  // always 3 * value, so that the cache's initial zeros are a whole pair too
};

Pair PairFor(uint64_t value) {
    return {value, 3 * value};
}

class LayerObjectCacheTest : public testing::Test {
protected:
    void SetUp() override { OpenXRLayer::Destroy(); }
    void TearDown() override { OpenXRLayer::Destroy(); }
    static void NewLayerObject() { new OpenXRLayer(nullptr, {}); }
};

TEST_F(LayerObjectCacheTest, FetchesOncePerLayerObject) {
    // Past the first generation, when the library is loaded and no layer object has existed yet.
    NewLayerObject();
    OpenXRLayer::Destroy();
    LayerObjectCache<Pair> cache;
    int fetches = 0;
    const auto fetch = [&](const OpenXRLayer* layer) {
        ++fetches;
        return PairFor(layer == nullptr ? 0 : OpenXRLayer::Generation());
    };

    EXPECT_EQ(cache.Get(fetch).value, 0u) << "no layer object: the fetch says so";
    EXPECT_EQ(cache.Get(fetch).value, 0u);
    EXPECT_EQ(fetches, 1);

    NewLayerObject();
    const uint64_t created = OpenXRLayer::Generation();
    EXPECT_EQ(cache.Get(fetch).value, created);
    EXPECT_EQ(cache.Get(fetch).value, created);
    EXPECT_EQ(fetches, 2);

    OpenXRLayer::Destroy();
    EXPECT_EQ(cache.Get(fetch).value, 0u) << "nothing kept of a destroyed layer object";
    EXPECT_EQ(fetches, 3);
}

// Readers on several threads while layer objects come and go: every value read is a whole one,
// never one word of a fetch with the other of another. (OpenXR forbids this concurrency; the cache
// stays sound under it all the same.) Run under ThreadSanitizer too.
TEST_F(LayerObjectCacheTest, ReadersNeverSeeHalfOfAFetch) {
    LayerObjectCache<Pair> cache;
    std::atomic<bool> stop{false};
    std::atomic<uint64_t> torn{0};
    std::atomic<uint64_t> reads{0};
    const auto fetch = [](const OpenXRLayer*) { return PairFor(OpenXRLayer::Generation()); };
    std::vector<std::thread> readers;
    for (int i = 0; i < 2; ++i) {
        readers.emplace_back([&] {
            while (!stop.load()) {
                const Pair pair = cache.Get(fetch);
                if (pair.check != 3 * pair.value) {
                    torn.fetch_add(1);
                }
                reads.fetch_add(1);
            }
        });
    }
    for (int round = 0; round < 2000 || reads.load() < 10000; ++round) {
        NewLayerObject();
        OpenXRLayer::Destroy();
    }
    stop = true;
    for (std::thread& reader : readers) {
        reader.join();
    }
    EXPECT_EQ(torn.load(), 0u);
}

}  // namespace
