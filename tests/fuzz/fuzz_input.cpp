#include "tests/fuzz/fuzz_input.h"

#include <cstdio>
#include <cstdlib>

namespace kelvane::fuzz {

void violated(const char* target, const std::string& what) {
    std::fprintf(stderr, "%s: property violated: %s\n", target, what.c_str());
    std::fflush(stderr);
    std::abort();
}

}  // namespace kelvane::fuzz
