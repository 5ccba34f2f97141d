#pragma once
// Runs a Nimbrel.exe program as a user does, through the shell, and gives what
// it printed and its exit status.

#include <filesystem>
#include <string>

namespace kelvane::testing {

struct ExeOutcome {
    int status = -1;
    std::string out, err;  // with Windows line ends made plain
};

// Runs "exe arguments" with its outputs in files of folder; standard output
// goes to stdoutTo instead when it is given.
ExeOutcome runExe(const std::string& exe, const std::string& arguments, const std::filesystem::path& folder,
                  const std::string& stdoutTo = "");

// A path in double quotes, for a command line.
std::string inQuotes(const std::filesystem::path& path);

}  // namespace kelvane::testing
