// The reader's out-of-memory path. This program is linked with --wrap=malloc and --wrap=realloc,
// so every malloc and realloc call made by code linked into it (the INI reader among them) goes
// through the hooks below; the C library's own allocations, such as fopen's, do not. A hook armed
// for one call fails exactly that call and records the size asked for.

#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "ini/IniFile.h"
#include "ini/IniParser.h"
#include "ini/IniTextReader.h"

extern "C" {
void* __real_malloc(size_t size);
void* __real_realloc(void* memory, size_t size);
}

namespace {

std::atomic<bool> gFailNextMalloc{false};
std::atomic<bool> gFailNextRealloc{false};
std::atomic<size_t> gFailedSize{0};

}  // namespace

extern "C" {

void* __wrap_malloc(size_t size) {
    if (gFailNextMalloc.exchange(false)) {
        gFailedSize.store(size);
        return nullptr;
    }
    return __real_malloc(size);
}

void* __wrap_realloc(void* memory, size_t size) {
    if (gFailNextRealloc.exchange(false)) {
        gFailedSize.store(size);
        return nullptr;
    }
    return __real_realloc(memory, size);
}

}  // extern "C"

namespace {

struct Pair {
    std::string name;
    std::string value;
};

int32_t collect(void* user, const char*, const char* name, const char* value) {
    static_cast<std::vector<Pair>*>(user)->push_back({name, value});
    return 1;
}

enum class Failing { FirstAllocation, Growth };

struct OutOfMemoryCase {
    const char* name;
    Failing failing;
    size_t failedSize;             // the line buffer's size at that step
    std::vector<Pair> handedOver;  // pairs before the failure stay with the handler
};

// Two short lines, then one too long for the first buffer.
const std::string kText = "a=1\nb=2\nlong=" + std::string(300, 'x') + "\nc=3\n";

const OutOfMemoryCase kCases[] = {
    {"first allocation", Failing::FirstAllocation, 200, {}},
    {"growth", Failing::Growth, 400, {{"a", "1"}, {"b", "2"}}},
};

void arm(Failing failing) {
    gFailedSize.store(0);
    (failing == Failing::FirstAllocation ? gFailNextMalloc : gFailNextRealloc).store(true);
}

// Disarms both hooks; true when the armed one was used.
bool disarm() {
    const bool mallocUnused = gFailNextMalloc.exchange(false);
    const bool reallocUnused = gFailNextRealloc.exchange(false);
    return !mallocUnused && !reallocUnused;
}

TEST(IniOutOfMemory, TheParserReportsMinusTwoAndKeepsWhatItHandedOver) {
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        IniTextStream stream{kText};
        std::vector<Pair> pairs;
        pairs.reserve(4);  // the handler's own allocations go through operator new, not malloc
        arm(c.failing);
        const int32_t result = parseIni(readIniTextLine, &stream, collect, &pairs);
        ASSERT_TRUE(disarm()) << "the armed allocation was never made";

        EXPECT_EQ(result, -2);
        EXPECT_EQ(gFailedSize.load(), c.failedSize) << "another allocation failed";
        ASSERT_EQ(pairs.size(), c.handedOver.size());
        for (size_t i = 0; i < pairs.size(); ++i) {
            EXPECT_EQ(pairs[i].name, c.handedOver[i].name);
            EXPECT_EQ(pairs[i].value, c.handedOver[i].value);
        }
    }
}

TEST(IniOutOfMemory, TheDocumentThrowsMemoryAllocError) {
    const std::filesystem::path directory = MakeTemporaryDirectory();
    const std::filesystem::path file = directory / "TarvexOpenXRConfig.ini";
    std::ofstream(file, std::ios::binary) << kText;
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        std::string message = "<nothing thrown>";
        arm(c.failing);
        try {
            const IniFile ini(file.string());
        } catch (const std::runtime_error& error) {
            message = error.what();
        }
        ASSERT_TRUE(disarm()) << "the armed allocation was never made";
        EXPECT_EQ(message, "memory alloc error");
        EXPECT_EQ(gFailedSize.load(), c.failedSize) << "another allocation failed";
    }
    // With nothing failing, the same file reads through.
    EXPECT_EQ(IniFile(file.string()).get<int32_t>("", "c"), 3);
    std::filesystem::remove_all(directory);
}

}  // namespace
