#pragma once
// files/: what the stand-in host reads and writes. Workspace files (this
// file) and the plug-in's dialog script (dialog_script.h, with the parameters
// it declares in declared_parameters.h; what a run takes from it is
// cli/dialog_use.h) are both read by the one strict JSON reader (strict_json.h,
// onto a tape, json_tape.h; their shared wording in json_reader.h and
// json_messages.h); every input is read whole with a bound on
// its size (input_file.h) and every output written whole (output_file.h),
// through paths in the system's own form (base/native_path.h). FORMATS.md
// describes these files.
//
// Workspace files: a workspace as JSON, read with strict checks and written
// back so that it reads back the same, byte for byte in every map record.
// The number rules are in workspace_numbers.h, the field table both go by
// in workspace_fields.h, the reader's checks in workspace_read.h.

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "standin/files/declared_parameters.h"
#include "standin/files/strict_json.h"
#include "standin/host/workspace.h"

namespace nimbrel {

// The number fields of a map record as workspace files and reports hold them,
// in their order there. Each is an integer or a float of the record; column is
// its place in the report's maps table, after the name.
struct MapNumber {
    const char* key;
    const char* title;  // its column's title when not the key
    int column;
    int32_t kelvane::NRVMPRecord::*integer;
    float kelvane::NRVMPRecord::*real;
};
inline constexpr MapNumber kMapNumbers[] = {
    {"mapType", "type", 1, &kelvane::NRVMPRecord::mapType, nullptr},
    {"thresholdMin", nullptr, 3, nullptr, &kelvane::NRVMPRecord::thresholdMin},
    {"thresholdMax", nullptr, 4, nullptr, &kelvane::NRVMPRecord::thresholdMax},
    {"clusterSize", nullptr, 5, &kelvane::NRVMPRecord::clusterSize, nullptr},
    {"useClusterSize", nullptr, 6, &kelvane::NRVMPRecord::useClusterSize, nullptr},
    {"degreesOfFreedom", "df", 2, &kelvane::NRVMPRecord::degreesOfFreedom, nullptr},
    {"showPosNeg", nullptr, 7, &kelvane::NRVMPRecord::showPosNeg, nullptr},
    {"transparency", nullptr, 8, nullptr, &kelvane::NRVMPRecord::transparency},
    {"overlay", nullptr, 9, &kelvane::NRVMPRecord::overlay, nullptr},
};

// A workspace file that cannot be used. what() is one line naming the file,
// the field and what was expected: "ws.json: maps[2].mapType: expected an
// integer, got a string".
class WorkspaceFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads the workspace file at path. Throws WorkspaceFileError. With
// declarations, each parameter must be declared and have its declared kind:
// an integer for an integer, a number (or "NaN", "Infinity", "-Infinity") for
// a float, a string for a text. Without, each is taken as given.
// progress is told how far the read has come.
Workspace readWorkspaceFile(const std::string& path, const DeclaredParameters* declared = nullptr,
                            const ReadProgress& progress = {});
// Reads a workspace from JSON text; source names it in errors.
Workspace parseWorkspace(const std::string& text, const std::string& source,
                         const DeclaredParameters* declared = nullptr, const ReadProgress& progress = {});

// The float a text stands for where JSON has no number: "NaN", "Infinity",
// "-Infinity", a NaN's bits as "NaN:0x7fc00001", or as the human report shows
// them, "nan", "inf", "-inf".
std::optional<float> floatOfSpecialText(const std::string& text);

// The one rule for numbers, in workspace files and --param alike.
// A number that does not fit where it goes; what() says so, naming the
// number as it was shown: "the integer 1e20 is out of range: ...".
class NumberRangeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
// The value of a number without a fraction (3, 1e3 and 3.0 alike), or none.
std::optional<double> wholeValue(const nlohmann::ordered_json& number);
// The 32-bit integer a whole number stands for; none for a number with a
// fraction. Throws NumberRangeError for one beyond -2147483648 to 2147483647.
std::optional<int32_t> wholeInt32(const nlohmann::ordered_json& number, const std::string& shown);
// The float nearest a number read as a double, as a JSON reader reads it.
// Throws NumberRangeError for one that would read as an infinity, or as 0
// though it is not 0.
float nearestFloat(double number, const std::string& shown);

// The workspace as a JSON document, every field written out.
nlohmann::ordered_json workspaceToJson(const Workspace& workspace);
// One map as it stands in a workspace file: every record field and the opaque ranges.
nlohmann::ordered_json mapToJson(const VolumeMap& map);
// The workspace as the text of a file (indented, ends with a newline).
std::string workspaceText(const Workspace& workspace);
// Writes the workspace file at path. Throws WorkspaceFileError.
void writeWorkspaceFile(const Workspace& workspace, const std::string& path);

// The shortest decimal text that reads back as exactly this float, through a
// double as a JSON reader does ("0.001", "3.9216814", "-0"); "nan", "inf",
// "-inf" for the others.
std::string shortestFloatText(float value);
// A float as a workspace file holds it: a number, or for a value that JSON
// cannot hold "Infinity", "-Infinity", "NaN" or "NaN:0x7fc00001" (the bits of
// a NaN other than the usual one).
nlohmann::ordered_json floatToJson(float value);

// Text of JSON for files and reports; bytes that are not UTF-8 become U+FFFD.
std::string dumpJson(const nlohmann::ordered_json& value);

}  // namespace nimbrel
