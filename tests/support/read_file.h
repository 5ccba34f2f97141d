#pragma once
// A whole file's bytes as they are on disk.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace kelvane::testing {

// "" when the file cannot be read.
inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace kelvane::testing
