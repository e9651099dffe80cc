#pragma once

#include <cstdint>

// Heap allocations made by this process so far, counted by the replaced global operator new.
uint64_t AllocationCount();
