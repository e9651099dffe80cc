#pragma once

#include <atomic>
#include <cstdint>

// Publishes `mine` into `word` unless another value got there first, and returns the value that
// stands: callers racing to be first all go on with the same one, and none waits for another.
// The word is the whole value, so no other data needs ordering with it.
inline uint64_t PublishFirst(std::atomic<uint64_t>& word, uint64_t empty, uint64_t mine) {
    uint64_t expected = empty;
    return word.compare_exchange_strong(expected, mine, std::memory_order_relaxed) ? mine
                                                                                   : expected;
}
