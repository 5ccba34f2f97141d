#pragma once
// The stand-in's outputs (saved workspace, JSON report, the human report on
// standard output) are written whole, or the system's reason is known.

#include <filesystem>
#include <memory>
#include <optional>
#include <streambuf>
#include <string>
#include <system_error>
#include <vector>

namespace nimbrel {

// Where an output's bytes land: the path with every symbolic link followed,
// also a link to a file that is not there yet (it leads to the file it names).
// A loop of links sets error.
std::filesystem::path outputTarget(const std::string& path, std::error_code& error);

// Whether two paths name one file: the same path, or two paths that lead to
// one file (through links, hard or symbolic, dangling or not, or "..").
bool sameFile(const std::string& a, const std::string& b);

// A file replaced whole or not at all, in three steps that may run in two
// processes: prepare() checks that the file may be written and makes a
// temporary file in its folder, with no name where the system allows it
// (Linux's O_TMPFILE; else one beside the file, named after it, or shorter
// when that name is too long); fill() writes the text into it, also in a
// process forked after prepare(); commit() puts it in the file's place in one
// step. A temporary that is not put in place is removed by the process that
// prepared it, and by the system when that process ends where it can (a file
// without a name; on Windows one marked to go when its handle closes). A
// device or a pipe (/dev/null, NUL) is written as it stands: it cannot be
// replaced.
class PendingFile {
public:
    // Prepares the write of the file at path; null, with why in reason, when
    // it cannot be written: "the file is read-only", "it is a folder", "the
    // folder out is not writable (Permission denied)", "the folder out does
    // not exist".
    static std::unique_ptr<PendingFile> prepare(const std::string& path, std::string& reason);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    // Writes text, whole, into the temporary (or the device); the system's
    // reason when it could not ("No space left on device").
    std::optional<std::string> fill(const std::string& text);
    // Whether fill() wrote the text whole, in whichever process it ran.
    bool filled() const;
    // Puts the filled temporary in the file's place; the reason it could not.
    std::optional<std::string> commit();

    const std::string& path() const { return path_; }

private:
    struct State;
    explicit PendingFile(std::string path);
    std::string path_;
    std::unique_ptr<State> state_;
};

// Writes text to the file at path, replacing it whole or not at all (a
// PendingFile's three steps). Returns why the text could not be written whole.
std::optional<std::string> writeWholeFile(const std::string& path, const std::string& text);

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
