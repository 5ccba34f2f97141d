#pragma once
// What output_file.cpp and the two systems' PendingFile share: whole writes
// to a descriptor, and the words for what stops a file from being written.

#include <cstddef>
#include <filesystem>
#include <string>

namespace nimbrel {

// Writes all of it, going on after partial writes; the errno of a failure.
int writeAll(int descriptor, const char* data, std::size_t size);

// The system's text for an errno value.
std::string systemReason(int error);

// Why no file could be made in folder, for the errno of the attempt: "the
// folder out is not writable (Permission denied)", "the folder out does not
// exist".
std::string folderProblem(int error, const std::filesystem::path& folder);

// The folder an output's temporary goes in: the target's own ("." for a
// bare file name).
std::filesystem::path folderOf(const std::filesystem::path& target);

// A temporary's name beside target: named after it ("rep.json.<16 hex
// digits>.tmp"), or, short, ".nimbrel-<8 hex digits>.tmp" for a folder that
// takes no name that long.
std::filesystem::path temporaryBeside(const std::filesystem::path& target, bool shortName);

}  // namespace nimbrel
