#pragma once
// Reading a workspace file: the reader that the field table (workspace_fields.h)
// reads each value through, with the checks and messages of each kind of
// field. A message names the source, the field's JSON path and, for a
// number, its line.

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "standin/files/declared_parameters.h"
#include "standin/files/json_reader.h"
#include "standin/files/json_tape.h"
#include "standin/files/workspace_fields.h"
#include "standin/files/workspace_json.h"

namespace nimbrel::workspace_file {

class Reader : public JsonReader<WorkspaceFileError> {
public:
    Reader(std::string source, const DeclaredParameters* declared)
        : JsonReader(std::move(source), kJsonKindWords), declared_(declared) {}

    // The object at path read into record: refused for the first key that is
    // none of the section's, then field by field in the section's order.
    template <typename Record>
    void read(const TapeValue& value, const JsonPath& path, const Section<Record>& section, Record& record) const;

    // Each element of the array at path, read by each(element, its path).
    template <typename Each>
    void list(const TapeValue& value, const JsonPath& path, const Each& each) const {
        if (!value.is_array()) expected(path, "an array", value);
        std::size_t i = 0;
        for (const TapeValue element : value.elements()) each(element, path.element(i++));
    }

    // A list whose elements were read as they came: its first faulty one is
    // told in the list's turn.
    void keepListError(const JsonPath& path, std::string message) const {
        listErrors_.emplace(path.text(), std::move(message));
    }
    void failIfListFailed(const JsonPath& path) const;

    int32_t int32(const TapeValue& value, const JsonPath& path) const;
    // A whole number from least to most, or the error that says what was expected.
    double wholeWithin(const TapeValue& value, const JsonPath& path, double least, double most,
                       const std::string& what) const;
    float real(const TapeValue& value, const JsonPath& path) const;
    // A string's text, which must hold no zero character.
    std::string_view textOf(const TapeValue& value, const JsonPath& path) const;
    std::string text(const TapeValue& value, const JsonPath& path) const { return std::string(textOf(value, path)); }
    bool boolean(const TapeValue& value, const JsonPath& path) const;
    int32_t currentDocument(const TapeValue& value, const JsonPath& path, std::size_t documents) const;

    // A map's name in its storage, which grows to hold a longer name whole
    // until the workspace's capacity for names is known: see placeMapNames.
    void mapName(const TapeValue& value, const JsonPath& path, VolumeMap& map) const;
    // Each map's name in storage of the workspace's capacity, once every map
    // and the capacity are read. A name longer than the capacity allows is
    // refused before the list's first faulty element (its own name, when the
    // element failed after it was read, included), as a reading of each whole
    // map in turn would.
    void placeMapNames(Workspace& workspace, const JsonPath& path) const;

    // size bytes from their hex text.
    void hex(const TapeValue& value, const JsonPath& path, unsigned char* bytes, std::size_t size) const;
    Parameter parameter(std::string_view key, const TapeValue& value, const JsonPath& parameters) const;
    // A text the host's getter can hand over whole.
    Parameter textParameter(const TapeValue& value, const JsonPath& path) const;

private:
    const DeclaredParameters* declared_;
    mutable std::map<std::string, std::string> listErrors_;  // by the list's path
};

template <typename Record>
void Reader::read(const TapeValue& value, const JsonPath& path, const Section<Record>& section, Record& record) const {
    if (!value.is_object()) expected(path, "an object", value);
    std::array<std::optional<TapeValue>, kMostFields> found;
    std::size_t next = 0;
    for (const auto& [key, member] : value.members()) {
        const std::size_t i = section.find(key, next);
        if (i == section.size()) unknownField(path.member(key), section.keys());
        found[i].emplace(member);
        next = i + 1;
    }
    for (std::size_t i = 0; i < section.size(); ++i) {
        const Field<Record>& field = section[i];
        const JsonPath at = path.member(section.name(i));
        if (found[i])
            field.read(*this, *found[i], at, record);
        else if (field.required != nullptr)
            fail(at, std::string("expected ") + field.required + ", but the field is missing");
    }
}

}  // namespace nimbrel::workspace_file
