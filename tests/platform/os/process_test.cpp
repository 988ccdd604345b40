// Giving the heap's free pages back: what the allocator kept of blocks freed
// in the middle of its heap leaves the process's resident memory.
#include "platform/os/process.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <unistd.h>
#include <vector>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define LANTROVE_OWN_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define LANTROVE_OWN_ALLOCATOR 1
#endif
#endif

namespace {

[[maybe_unused]] long ResidentKiB() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

TEST(FreeMemory, HolesInTheHeapGoBackToTheSystem) {
#if defined(LANTROVE_OWN_ALLOCATOR)
    GTEST_SKIP() << "the sanitizer's allocator keeps its own heap";
#else
    // Blocks below the size the allocator maps on its own, all touched; the
    // last one stays, so the freed ones are a hole and not the heap's end.
    std::vector<void*> blocks;
    for (int i = 0; i < 400; ++i) {
        void* b = std::malloc(64 * 1024);
        ASSERT_NE(b, nullptr);
        std::memset(b, 1, 64 * 1024);
        blocks.push_back(b);
    }
    for (size_t i = 0; i + 1 < blocks.size(); ++i)
        std::free(blocks[i]);
    const long before = ResidentKiB();
    os::ReleaseFreeMemory();
    EXPECT_LT(ResidentKiB(), before - 16 * 1024);
    std::free(blocks.back());
#endif
}

} // namespace
