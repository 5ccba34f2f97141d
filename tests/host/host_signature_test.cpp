// A host function's parameter list, of any length up to 16, becomes named
// parameters and the matching arguments: a list line needs no count.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "host/host_signature_macros.h"

namespace kelvane {
namespace {

static_assert(KELVANE_ARITY() == 0);
static_assert(KELVANE_ARITY(const char*) == 1);
static_assert(KELVANE_ARITY(int32_t, float) == 2);
static_assert(KELVANE_ARITY(void*, void*, void*, void*, void*, void*) == 6);
static_assert(KELVANE_ARITY(void*, void*, void*, void*, void*, void*, void*) == 7);
static_assert(KELVANE_ARITY(void*, void*, void*, void*, void*, void*, void*, void*) == 8);
static_assert(KELVANE_ARITY(void*, void*, void*, void*, void*, void*, void*, void*, void*, void*) == 10);

#define KELVANE_SIXTEEN_INTS                                                                                     \
    (int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, \
     int32_t, int32_t, int32_t, int32_t)

using Values = std::vector<int32_t>;

Values sixteen(KELVANE_PARAMS(KELVANE_SIXTEEN_INTS)) {
    return {KELVANE_ARGS(KELVANE_SIXTEEN_INTS)};
}
Values none(KELVANE_PARAMS(())) {
    return {KELVANE_ARGS(())};
}
Values mixed(KELVANE_PARAMS((const char*, int32_t, float))) {
    return {a1[0], a2, static_cast<int32_t>(a3)};
}

TEST(HostSignature, ArgumentsGoOutInTheirOrder) {
    EXPECT_EQ(sixteen(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16),
              (Values{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}));
    EXPECT_EQ(none(), Values{});
    EXPECT_EQ(mixed("A", 7, 2.0f), (Values{'A', 7, 2}));
}

}  // namespace
}  // namespace kelvane
