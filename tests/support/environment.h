#pragma once
// Sets a variable of this process's environment, which the programs it runs
// inherit; an empty value removes it (as Windows does).

#include <cstdlib>
#include <string>

namespace kelvane::testing {

inline void setEnvironment(const char* name, const std::string& value) {
#if defined(_WIN32)
    _putenv_s(name, value.c_str());
#else
    if (value.empty())
        unsetenv(name);
    else
        setenv(name, value.c_str(), 1);
#endif
}

}  // namespace kelvane::testing
