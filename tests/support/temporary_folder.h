#pragma once
// A new, empty folder under the system's temporary folder, removed with
// everything in it when the object goes.

#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace kelvane::testing {

class TemporaryFolder {
public:
    // The folder is named kelvane-<purpose>-<random digits>.
    explicit TemporaryFolder(const std::string& purpose) {
        std::random_device random;
        path_ = std::filesystem::temp_directory_path() /
                ("kelvane-" + purpose + "-" + std::to_string(random()) + std::to_string(random()));
        std::filesystem::create_directories(path_);
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace kelvane::testing
