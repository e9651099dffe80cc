#pragma once

#include <openxr/openxr.h>

#include <array>
#include <atomic>
#include <cstdint>

// The VIEW reference spaces created through the layer, so that locating them can give the tracked
// head. A fixed table of handles: adding, forgetting and asking take no lock and allocate nothing.
// Applications hold a handful of VIEW spaces; past the table's size, further ones are not
// tracked and keep the runtime's poses.
class ViewSpaceSet {
public:
    static constexpr size_t kCapacity = 64;

    bool Add(XrSpace space);
    void Remove(XrSpace space);
    bool Contains(XrSpace space) const;

private:
    static uint64_t Key(XrSpace space);

    std::array<std::atomic<uint64_t>, kCapacity> slots_{};
};
