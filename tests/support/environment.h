#pragma once
// Sets a variable of this process's environment, which the programs it runs
// inherit.

#include <cstdlib>
#include <string>

namespace kelvane::testing {

inline void setEnvironment(const char* name, const std::string& value) {
#if defined(_WIN32)
    _putenv_s(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}

}  // namespace kelvane::testing
