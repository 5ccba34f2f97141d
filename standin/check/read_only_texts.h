#pragma once
// Texts the check's host hands out for the plug-in to read only, each on
// pages of its own made read-only, so that a write into one ends the process
// at once, during the call that made it.

#include <string>

namespace nimbrel::check {

// A read-only copy of text, kept for the life of the process (one per
// distinct text).
const char* readOnlyText(const std::string& text);

// From now on, a write into one of those texts that ends the process first
// writes the line "fault <what happened>" to the open file descriptor.
void noteWritesIntoTexts(int descriptor);

}  // namespace nimbrel::check
