#pragma once
// The stand-in's outputs (saved workspace, JSON report, the human report on
// standard output) are written whole, or the system's reason is known.

#include <optional>
#include <streambuf>
#include <string>
#include <vector>

namespace nimbrel {

// Writes text to the file at path, replacing it whole or not at all: the text
// goes to a new file in the same folder, renamed over path once complete; on
// failure the old file stays as it was and the new one is removed. A device
// or pipe at path (/dev/null) is written as it stands. Returns the system's
// reason when the text could not be written whole ("No space left on device").
std::optional<std::string> writeWholeFile(const std::string& path, const std::string& text);

// Whether two output paths name the same file: the same path, or two paths
// that lead to one file (through links, "..", or one existing file).
bool sameOutputFile(const std::string& a, const std::string& b);

// A buffered stream buffer over a file descriptor (standard output is 1) that
// keeps the system's reason for its first failed write; nothing is written
// after that.
class DescriptorOutput : public std::streambuf {
public:
    explicit DescriptorOutput(int descriptor);
    ~DescriptorOutput() override;
    DescriptorOutput(const DescriptorOutput&) = delete;
    DescriptorOutput& operator=(const DescriptorOutput&) = delete;

    // Why a write failed, once one has.
    const std::optional<std::string>& failure() const { return failure_; }
    // Whether it failed because the reader closed its end of the pipe
    // ("| head -5"), which is no error to report.
    bool closedByReader() const { return closedByReader_; }

protected:
    int_type overflow(int_type c) override;
    int sync() override;

private:
    bool drain();
    int descriptor_;
    std::vector<char> buffer_;
    std::optional<std::string> failure_;
    bool closedByReader_ = false;
};

}  // namespace nimbrel
