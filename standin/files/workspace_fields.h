#pragma once
// The field table of workspace files: for each kind of object a file holds,
// its fields in their order, each with how it is read into its record
// (through the reader, workspace_read.h) and how it is written. Reading and
// writing both go by these tables, so that a file reads back as written.

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <stdexcept>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "standin/files/json_reader.h"
#include "standin/files/json_tape.h"
#include "standin/host/workspace.h"

namespace nimbrel::workspace_file {

class Reader;

// One field of a record as a workspace file holds it: its key, how it is read
// into the record, how it is written (a discarded value: left out) and, for a
// field that must be there, what is expected of it. A list of objects also
// says how one element is read, for a reading that takes them as they come.
template <typename Record>
struct Field {
    using Read = std::function<void(const Reader&, const TapeValue&, const JsonPath&, Record&)>;
    const char* key;
    Read read;
    std::function<nlohmann::ordered_json(const Record&)> write;
    const char* required = nullptr;
    Read element = nullptr;
};

// The most fields one kind of object has.
inline constexpr std::size_t kMostFields = 16;

// The fields of one kind of object, in the order they are read and written.
template <typename Record>
class Section {
public:
    Section(std::initializer_list<Field<Record>> fields) : Section(std::vector<Field<Record>>(fields)) {}
    Section(std::vector<Field<Record>> fields) : fields_(std::move(fields)) {
        if (fields_.size() > kMostFields) throw std::logic_error("a section has more than kMostFields fields");
        for (const Field<Record>& field : fields_) {
            keys_.push_back(field.key);
            names_.emplace_back(field.key);
        }
    }

    auto begin() const { return fields_.begin(); }
    auto end() const { return fields_.end(); }
    std::size_t size() const { return fields_.size(); }
    const Field<Record>& operator[](std::size_t i) const { return fields_[i]; }
    const std::vector<const char*>& keys() const { return keys_; }
    std::string_view name(std::size_t i) const { return names_[i]; }  // the i-th field's key

    // The field of key, looked for from the one at from on (a file mostly
    // has them in their order); size() for none.
    std::size_t find(std::string_view key, std::size_t from) const {
        for (std::size_t n = 0, i = from; n < names_.size(); ++n, ++i) {
            if (i >= names_.size()) i = 0;
            if (same(names_[i], key)) return i;
        }
        return names_.size();
    }

private:
    // Keys are short: compared here rather than by a call to memcmp.
    static bool same(std::string_view a, std::string_view b) {
        if (a.size() != b.size()) return false;
        for (std::size_t i = 0; i < a.size(); ++i)
            if (a[i] != b[i]) return false;
        return true;
    }

    std::vector<Field<Record>> fields_;
    std::vector<const char*> keys_;
    std::vector<std::string_view> names_;
};

// The object of a record: each field written but those left out (a
// discarded value).
template <typename Record>
nlohmann::ordered_json fieldsToJson(const Record& record, const Section<Record>& section) {
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    for (const Field<Record>& field : section)
        if (nlohmann::ordered_json value = field.write(record); !value.is_discarded())
            object[field.key] = std::move(value);
    return object;
}

// A whole workspace file's fields, and a map's.
extern const Section<Workspace> kWorkspaceFields;
extern const Section<VolumeMap> kMapFields;

}  // namespace nimbrel::workspace_file
