#pragma once

#include <cstdint>
#include <sstream>
#include <string>

namespace kelvane {

// Rewrites the text file at path in place: a line in which one of the keys
// occurs is replaced as a whole by the text of that key's replacement stream
// (the first key in array order wins); every other line is written back
// exactly as read, and a final line break is kept or left out as it was.
// Matching is on working copies of the lines: with removeBlanks every blank
// (0x20) is taken out, without caseSensitive letters are folded to upper case.
// The keys are normalised the same way, in place, and the caller sees them so.
// Failures go to the log only:
//  - the file cannot be read: "File could not be opened for reading"; the keys
//    are still normalised, and the file is neither rewritten nor created;
//  - the file cannot be opened for writing: "File could not be opened for
//    writing", and nothing is written.
// After a rewrite the log gets "<n> lines were replaced in <path>".
void replaceLinesInFile(const char* path, int32_t keyCount, std::string* keys, bool removeBlanks, bool caseSensitive,
                        const std::ostringstream* replacementTexts);

}  // namespace kelvane
