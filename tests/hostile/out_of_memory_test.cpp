// execute when memory runs out: the plug-in catches what its allocation
// throws, says so in the log and returns false, and no map is touched. This
// program, the host, replaces the global allocation functions, which the
// plug-in module shares with it on Linux; a Windows module carries its own.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <new>
#include <string>

#include "tests/hostile/hostile_run.h"
#include "tests/support/standin_fixture.h"

namespace {

// While set, any single allocation of this many bytes or more fails.
std::size_t failFrom = 0;

void* allocate(std::size_t size) noexcept {
    if (failFrom != 0 && size >= failFrom) return nullptr;
    return std::malloc(size == 0 ? 1 : size);
}

void* allocateOrThrow(std::size_t size) {
    void* memory = allocate(size);
    if (memory == nullptr) throw std::bad_alloc();
    return memory;
}

}  // namespace

void* operator new(std::size_t size) {
    return allocateOrThrow(size);
}
void* operator new[](std::size_t size) {
    return allocateOrThrow(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete[](void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
    std::free(memory);
}
void operator delete(void* memory, const std::nothrow_t&) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, const std::nothrow_t&) noexcept {
    std::free(memory);
}

namespace kelvane {
namespace {

using nimbrel::Parameter;

constexpr std::size_t kOneMegabyte = 1u << 20;

// Whether an allocation of failFrom bytes fails, as it should while armed.
bool allocationsFail() {
    try {
        ::operator delete(::operator new(failFrom));
        return false;
    } catch (const std::bad_alloc&) {
        return true;
    }
}

TEST(OutOfMemory, ExecuteLogsTheFailureAndTouchesNoMap) {
#if defined(_WIN32)
    GTEST_SKIP() << "a Windows module allocates through its own runtime, not the host's";
#endif
    failFrom = kOneMegabyte;
    if (!allocationsFail()) {
        failFrom = 0;
        GTEST_SKIP() << "the allocation functions are not this program's here (a memory checker replaces them)";
    }
    nimbrel::Workspace workspace = testing::vmrWorkspace(4);
    // One selection entry per map the host claims: more than may be had.
    workspace.hostile.reportedMapCount = 2'000'000;
    workspace.parameters["DoOverlayMaps"] = Parameter::ofInteger(1);
    workspace.parameters["Overlay"] = Parameter::ofText("All");
    testing::HostileRun run = testing::runHostile(workspace);
    failFrom = 0;
    ASSERT_TRUE(run.outcome.initialised);
    EXPECT_EQ(run.outcome.executed, false);
    EXPECT_EQ(run.executeLines(), (testing::Lines{"Kelvane>  -----", "Kelvane>  Overlay the following maps: All",
                                                  "Kelvane>  -----", "Kelvane>  Failed: std::bad_alloc"}));
    EXPECT_EQ(run.recordGets(), 0);
    EXPECT_TRUE(run.session->recordsSet().empty());
    EXPECT_EQ(run.session->redraws(), 0);
    testing::expectOnlyOwnBytesChanged(run, workspace);
}

}  // namespace
}  // namespace kelvane
