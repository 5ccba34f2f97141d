#include "standin/files/workspace_read.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <vector>

#include "standin/base/activity.h"
#include "standin/base/text.h"
#include "standin/files/input_file.h"
#include "standin/files/json_messages.h"
#include "standin/files/strict_json.h"
#include "standin/files/workspace_numbers.h"

namespace nimbrel {
namespace workspace_file {
namespace {

// Whether a parameter's name stands plain in its path (parameters.MinP) or
// quoted (parameters["odd name"]).
bool isPlainName(std::string_view name) {
    bool plain = !name.empty();
    for (char c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) plain = false;
    return plain;
}

// The value of a hex digit; -1 for any other character.
int hexValue(char c) {
    static constexpr auto kValues = [] {
        std::array<signed char, 256> values{};
        for (int byte = 0; byte < 256; ++byte)
            values[byte] = static_cast<signed char>(byte >= '0' && byte <= '9'   ? byte - '0'
                                                    : byte >= 'a' && byte <= 'f' ? byte - 'a' + 10
                                                    : byte >= 'A' && byte <= 'F' ? byte - 'A' + 10
                                                                                 : -1);
        return values;
    }();
    return kValues[static_cast<unsigned char>(c)];
}

}  // namespace

void Reader::failIfListFailed(const JsonPath& path) const {
    if (const auto found = listErrors_.find(path.text()); found != listErrors_.end())
        throw WorkspaceFileError(found->second);
}

int32_t Reader::int32(const TapeValue& value, const JsonPath& path) const {
    if (!value.is_number()) expected(path, "an integer", value);
    try {
        if (const auto whole = int32OfWhole(wholeValueOf(value), [&] { return value.scalar().dump(); })) return *whole;
    } catch (const NumberRangeError& error) {
        failAtLine(path, value.line(), error.what());
    }
    expected(path, "an integer", value);
}

double Reader::wholeWithin(const TapeValue& value, const JsonPath& path, double least, double most,
                           const std::string& what) const {
    const std::optional<double> whole = value.is_number() ? wholeValueOf(value) : std::nullopt;
    if (!whole || *whole < least || *whole > most) expected(path, what, value);
    return *whole;
}

float Reader::real(const TapeValue& value, const JsonPath& path) const {
    if (value.is_number()) {
        try {
            return nearestFloatShown(value.get<double>(), [&] { return value.scalar().dump(); });
        } catch (const NumberRangeError& error) {
            failAtLine(path, value.line(), error.what());
        }
    }
    if (value.is_string())
        if (const auto special = floatOfSpecialText(std::string(value.text()))) return *special;
    expected(path, "a number (or \"NaN\", \"Infinity\", \"-Infinity\")", value);
}

std::string_view Reader::textOf(const TapeValue& value, const JsonPath& path) const {
    if (!value.is_string()) expected(path, kJsonKindWords.text, value);
    if (value.text().find('\0') != std::string_view::npos) fail(path, "expected a string without zero characters");
    return value.text();
}

bool Reader::boolean(const TapeValue& value, const JsonPath& path) const {
    if (!value.is_boolean()) expected(path, "true or false", value);
    return value.boolean();
}

int32_t Reader::currentDocument(const TapeValue& value, const JsonPath& path, std::size_t documents) const {
    const std::string range = documents == 0
                                  ? std::string("-1 (there are no documents)")
                                  : "a document index from 0 to " + std::to_string(documents - 1) + ", or -1 for none";
    // Any negative id means no current document; it is kept as given.
    const double id =
        wholeWithin(value, path, std::numeric_limits<int32_t>::min(), static_cast<double>(documents) - 1, range);
    return static_cast<int32_t>(id);
}

void Reader::mapName(const TapeValue& value, const JsonPath& path, VolumeMap& map) const {
    const std::string_view name = textOf(value, path);
    if (name.size() >= map.nameStorage.size()) map.nameStorage.resize(name.size() + 1);
    std::memcpy(map.nameStorage.data(), name.data(), name.size());
}

void Reader::placeMapNames(Workspace& workspace, const JsonPath& path) const {
    const std::size_t capacity = workspace.mapNameCapacity;
    for (std::size_t i = 0; i < workspace.maps.size(); ++i) {
        // Storage of the capacity or less holds a name that fits.
        const std::vector<char>& storage = workspace.maps[i].nameStorage;
        if (storage.size() <= capacity) continue;
        const auto length = static_cast<std::size_t>(std::find(storage.begin(), storage.end(), '\0') - storage.begin());
        if (length > capacity - 1)
            fail(path.element(i).member("name"), "expected a name of at most " + std::to_string(capacity - 1) +
                                                     " bytes (mapNameCapacity " + std::to_string(capacity) + "), got " +
                                                     std::to_string(length) + " bytes");
    }
    failIfListFailed(path);
    for (VolumeMap& map : workspace.maps)
        if (map.nameStorage.size() != capacity) map.setName(map.name(), capacity);
}

void Reader::hex(const TapeValue& value, const JsonPath& path, unsigned char* bytes, std::size_t size) const {
    const auto want = [size] { return std::to_string(size * 2) + " hex digits (" + std::to_string(size) + " bytes)"; };
    if (!value.is_string()) expected(path, want(), value);
    const std::string_view hex = value.text();
    if (hex.size() != size * 2)
        fail(path, "expected " + want() + ", got " + std::to_string(hex.size()) + " characters");
    for (std::size_t i = 0; i < size; ++i) {
        const int high = hexValue(hex[2 * i]), low = hexValue(hex[2 * i + 1]);
        if (high < 0 || low < 0)
            fail(path, "expected " + want() + ", got a character that is not a hex digit at position " +
                           std::to_string(2 * i + (high < 0 ? 1 : 2)));
        bytes[i] = static_cast<unsigned char>(high * 16 + low);
    }
}

Parameter Reader::parameter(std::string_view key, const TapeValue& value, const JsonPath& parameters) const {
    const JsonPath path = isPlainName(key) ? parameters.member(key) : parameters.quoted(key);
    const std::string name(key);
    if (name.empty()) fail(path, "a parameter name must not be empty");
    if (declared_ != nullptr) {
        const auto found = declared_->find(name);
        if (found == declared_->end()) fail(path, undeclaredParameter(name, *declared_));
        switch (found->second) {
            case Parameter::Kind::Integer:
                return Parameter::ofInteger(int32(value, path));
            case Parameter::Kind::Float:
                return Parameter::ofFloat(real(value, path));
            case Parameter::Kind::Text:
                return textParameter(value, path);
        }
    }
    if (value.is_number_integer()) return Parameter::ofInteger(int32(value, path));
    if (value.is_number_float()) return Parameter::ofFloat(real(value, path));
    if (value.is_string()) return textParameter(value, path);
    expected(path, "an integer, a number or a string", value);
}

Parameter Reader::textParameter(const TapeValue& value, const JsonPath& path) const {
    std::string result = text(value, path);
    if (const auto refusal = textParameterRefusal(result)) failAtLine(path, value.line(), *refusal);
    return Parameter::ofText(std::move(result));
}

}  // namespace workspace_file

namespace {

using workspace_file::Field;
using workspace_file::kMostFields;
using workspace_file::kWorkspaceFields;
using workspace_file::Reader;

// Reads each element of the workspace's lists (documents, maps) as the strict
// reader comes to its end. After a list's first faulty element the rest of
// the list is passed over: that error comes before any of theirs.
class ListElements : public JsonElementReader {
public:
    ListElements(const Reader& reader, Workspace& workspace) : reader_(reader), workspace_(workspace) {}

    bool takesElements(std::string_view key) override {
        const std::size_t i = kWorkspaceFields.find(key, 0);
        return i < kWorkspaceFields.size() && kWorkspaceFields[i].element != nullptr;
    }

    void element(std::string_view key, const TapeValue& element, std::size_t index) override {
        latest_ = kWorkspaceFields.find(key, latest_);
        if (failed_[latest_]) return;
        const Field<Workspace>& field = kWorkspaceFields[latest_];
        const JsonPath list = JsonPath().member(kWorkspaceFields.name(latest_));
        try {
            field.element(reader_, element, list.element(index), workspace_);
        } catch (const WorkspaceFileError& error) {
            failed_[latest_] = true;
            reader_.keepListError(list, error.what());
        }
    }

private:
    const Reader& reader_;
    Workspace& workspace_;
    std::size_t latest_ = 0;
    std::array<bool, kMostFields> failed_{};
};

// The text as strict JSON. A text that is not UTF-8 is refused as such
// first: the parser refuses whatever is not (outside strings any byte beyond
// ASCII, in strings what is not well-formed UTF-8), so the whole text needs
// checking only when the parse fails.
JsonTape readStrictly(const std::string& text, const std::string& source, const StrictJsonOptions& options) {
    try {
        return readStrictJson(text, 0, text.size(), options);
    } catch (const StrictJsonError& error) {
        requireUtf8(text, source);
        switch (error.kind) {
            case StrictJsonError::Kind::DuplicateKey:
                throw WorkspaceFileError(source + ": " + error.path + ": the field appears twice in one object");
            case StrictJsonError::Kind::Syntax:
                throw WorkspaceFileError(source + ": invalid JSON at " + error.what());
            case StrictJsonError::Kind::TooDeep:
                break;
            case StrictJsonError::Kind::Other:
                if (!error.line.empty())
                    throw WorkspaceFileError(source + ": " + (error.path.empty() ? "top level" : error.path) + " (" +
                                             error.line + "): " + error.what());
                break;
        }
        throw WorkspaceFileError(source + ": " + error.what());
    }
}

}  // namespace

Workspace parseWorkspace(const std::string& text, const std::string& source, const DeclaredParameters* declared,
                         const ReadProgress& progress) {
    try {
        const Reader reader(source, declared);
        Workspace workspace;
        ListElements lists(reader, workspace);
        StrictJsonOptions options;
        options.progress = progress;
        options.elements = &lists;
        const JsonTape tape = readStrictly(text, source, options);
        const TapeValue document = tape.root();
        for (const auto& [key, value] : document.members())
            if (key == "maps")
                noteActivity("reading the workspace " + source + " (" + groupedDigits(value.size()) + " maps)");
        reader.read(document, JsonPath(), kWorkspaceFields, workspace);
        return workspace;
    } catch (const InputError& error) {
        throw WorkspaceFileError(error.what());
    } catch (const WorkspaceFileError&) {
        throw;
    } catch (const std::exception& error) {
        throw WorkspaceFileError(source + ": " + error.what());
    }
}

Workspace readWorkspaceFile(const std::string& path, const DeclaredParameters* declared, const ReadProgress& progress) {
    std::string text;
    try {
        text = readInput(path, kLargestWorkspaceFile, "a workspace file");
    } catch (const InputError& error) {
        throw WorkspaceFileError(error.what());
    }
    return parseWorkspace(text, inputName(path), declared, progress);
}

}  // namespace nimbrel
