#include "standin/files/workspace_json.h"

#include <array>
#include <cctype>
#include <charconv>
#include <cstddef>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "standin/cli/terminal_text.h"
#include "standin/files/input_file.h"
#include "standin/files/json_messages.h"
#include "standin/files/json_reader.h"
#include "standin/files/json_tape.h"
#include "standin/files/output_file.h"
#include "standin/files/strict_json.h"
#include "standin/plugin/plugin_watch.h"

namespace nimbrel {
namespace {

using json = nlohmann::ordered_json;
using kelvane::NRVMPRecord;

constexpr std::size_t kMaxNameCapacity = 65536;
constexpr uint32_t kQuietNaNBits = 0x7fc00000u;

uint32_t floatBits(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

float floatOfBits(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

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

std::string hexText(const unsigned char* bytes, std::size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(size * 2);
    for (std::size_t i = 0; i < size; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 0x0f];
    }
    return text;
}

// The value of a number without a fraction, of the JSON library's or on a tape.
template <typename Number>
std::optional<double> wholeValueOf(const Number& number) {
    if (number.is_number_unsigned()) return static_cast<double>(number.template get<uint64_t>());
    if (number.is_number_integer()) return static_cast<double>(number.template get<int64_t>());
    if (number.is_number_float() && std::floor(number.template get<double>()) == number.template get<double>())
        return number.template get<double>();
    return std::nullopt;
}

// The one rule for integers, on a number's whole value (none: it has a
// fraction); shown() names the number in an error.
template <typename Shown>
std::optional<int32_t> int32OfWhole(std::optional<double> whole, const Shown& shown) {
    if (!whole) return std::nullopt;
    if (*whole < std::numeric_limits<int32_t>::min() || *whole > std::numeric_limits<int32_t>::max())
        throw NumberRangeError("the integer " + shown() +
                               " is out of range: expected an integer from -2147483648 to 2147483647");
    return static_cast<int32_t>(*whole);
}

// The one rule for floats: shown() names the number in an error.
template <typename Shown>
float nearestFloatShown(double number, const Shown& shown) {
    // From this on a double rounds to infinity as a float.
    const double limit = std::ldexp(1.0, 128) - std::ldexp(1.0, 103);
    if (!(std::fabs(number) < limit))
        throw NumberRangeError("the number " + shown() + " is too large for single precision (beyond about 3.4e38)");
    if (std::fabs(number) > FLT_MAX) return number > 0 ? FLT_MAX : -FLT_MAX;  // rounds to the largest float
    const float nearest = static_cast<float>(number);
    if (nearest == 0 && number != 0)
        throw NumberRangeError("the number " + shown() +
                               " is too small for single precision (nearer 0 than about 1.4e-45, it would read as 0)");
    return nearest;
}

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
    std::function<json(const Record&)> write;
    const char* required = nullptr;
    Read element = nullptr;
};

// The most fields one kind of object has.
constexpr std::size_t kMostFields = 16;

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

const json kLeftOut(json::value_t::discarded);

class Reader : public JsonReader<WorkspaceFileError> {
public:
    Reader(std::string source, const DeclaredParameters* declared)
        : JsonReader(std::move(source), kJsonKindWords), declared_(declared) {}

    // The object at path read into record: refused for the first key that is
    // none of the section's, then field by field in the section's order.
    template <typename Record>
    void read(const TapeValue& value, const JsonPath& path, const Section<Record>& section, Record& record) const {
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
    void failIfListFailed(const JsonPath& path) const {
        if (const auto found = listErrors_.find(path.text()); found != listErrors_.end())
            throw WorkspaceFileError(found->second);
    }

    int32_t int32(const TapeValue& value, const JsonPath& path) const {
        if (!value.is_number()) expected(path, "an integer", value);
        try {
            if (const auto whole = int32OfWhole(wholeValueOf(value), [&] { return value.scalar().dump(); }))
                return *whole;
        } catch (const NumberRangeError& error) {
            failNumber(path, value.line(), error.what());
        }
        expected(path, "an integer", value);
    }

    // A whole number from least to most, or the error that says what was expected.
    double wholeWithin(const TapeValue& value, const JsonPath& path, double least, double most,
                       const std::string& what) const {
        const std::optional<double> whole = value.is_number() ? wholeValueOf(value) : std::nullopt;
        if (!whole || *whole < least || *whole > most) expected(path, what, value);
        return *whole;
    }

    float real(const TapeValue& value, const JsonPath& path) const {
        if (value.is_number()) {
            try {
                return nearestFloatShown(value.get<double>(), [&] { return value.scalar().dump(); });
            } catch (const NumberRangeError& error) {
                failNumber(path, value.line(), error.what());
            }
        }
        if (value.is_string())
            if (const auto special = floatOfSpecialText(std::string(value.text()))) return *special;
        expected(path, "a number (or \"NaN\", \"Infinity\", \"-Infinity\")", value);
    }

    // A string's text, which must hold no zero character.
    std::string_view textOf(const TapeValue& value, const JsonPath& path) const {
        if (!value.is_string()) expected(path, kJsonKindWords.text, value);
        if (value.text().find('\0') != std::string_view::npos) fail(path, "expected a string without zero characters");
        return value.text();
    }

    std::string text(const TapeValue& value, const JsonPath& path) const { return std::string(textOf(value, path)); }

    bool boolean(const TapeValue& value, const JsonPath& path) const {
        if (!value.is_boolean()) expected(path, "true or false", value);
        return value.boolean();
    }

    int32_t currentDocument(const TapeValue& value, const JsonPath& path, std::size_t documents) const {
        const std::string range =
            documents == 0 ? std::string("-1 (there are no documents)")
                           : "a document index from 0 to " + std::to_string(documents - 1) + ", or -1 for none";
        // Any negative id means no current document; it is kept as given.
        const double id =
            wholeWithin(value, path, std::numeric_limits<int32_t>::min(), static_cast<double>(documents) - 1, range);
        return static_cast<int32_t>(id);
    }

    // A map's name in its storage, which grows to hold a longer name whole
    // until the workspace's capacity for names is known: see placeMapNames.
    void mapName(const TapeValue& value, const JsonPath& path, VolumeMap& map) const {
        const std::string_view name = textOf(value, path);
        if (name.size() >= map.nameStorage.size()) map.nameStorage.resize(name.size() + 1);
        std::memcpy(map.nameStorage.data(), name.data(), name.size());
    }

    // Each map's name in storage of the workspace's capacity, once every map
    // and the capacity are read. A name longer than the capacity allows is
    // refused before the list's first faulty element (its own name, when the
    // element failed after it was read, included), as a reading of each whole
    // map in turn would.
    void placeMapNames(Workspace& workspace, const JsonPath& path) const {
        const std::size_t capacity = workspace.mapNameCapacity;
        for (std::size_t i = 0; i < workspace.maps.size(); ++i) {
            // Storage of the capacity or less holds a name that fits.
            const std::vector<char>& storage = workspace.maps[i].nameStorage;
            if (storage.size() <= capacity) continue;
            const auto length =
                static_cast<std::size_t>(std::find(storage.begin(), storage.end(), '\0') - storage.begin());
            if (length > capacity - 1)
                fail(path.element(i).member("name"), "expected a name of at most " + std::to_string(capacity - 1) +
                                                         " bytes (mapNameCapacity " + std::to_string(capacity) +
                                                         "), got " + std::to_string(length) + " bytes");
        }
        failIfListFailed(path);
        for (VolumeMap& map : workspace.maps)
            if (map.nameStorage.size() != capacity) map.setName(map.name(), capacity);
    }

    // size bytes from their hex text.
    void hex(const TapeValue& value, const JsonPath& path, unsigned char* bytes, std::size_t size) const {
        const auto want = [size] {
            return std::to_string(size * 2) + " hex digits (" + std::to_string(size) + " bytes)";
        };
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

    Parameter parameter(std::string_view key, const TapeValue& value, const JsonPath& parameters) const {
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
                    return Parameter::ofText(text(value, path));
            }
        }
        if (value.is_number_integer()) return Parameter::ofInteger(int32(value, path));
        if (value.is_number_float()) return Parameter::ofFloat(real(value, path));
        if (value.is_string()) return Parameter::ofText(text(value, path));
        expected(path, "an integer, a number or a string", value);
    }

private:
    const DeclaredParameters* declared_;
    mutable std::map<std::string, std::string> listErrors_;  // by the list's path
};

template <typename Record>
json fieldsToJson(const Record& record, const Section<Record>& section) {
    json object = json::object();
    for (const Field<Record>& field : section)
        if (json value = field.write(record); !value.is_discarded()) object[field.key] = std::move(value);
    return object;
}

const auto kAsIs = [](const auto& value) { return json(value); };

// A field held in one member: read(reader, value, path) gives the member,
// write(member) its JSON.
template <typename Record, typename Member, typename Read, typename Write>
Field<Record> field(const char* key, Member Record::*at, Read read, Write write, const char* required = nullptr) {
    return {key,
            [at, read](const Reader& r, const TapeValue& v, const JsonPath& path, Record& to) {
                to.*at = std::invoke(read, r, v, path);
            },
            [at, write](const Record& from) { return json(write(from.*at)); }, required};
}

// A member that a file may give as null: then absent.
template <typename Record, typename Member, typename Read, typename Write>
Field<Record> nullableField(const char* key, std::optional<Member> Record::*at, Read read, Write write) {
    return field(
        key, at,
        [read](const Reader& r, const TapeValue& v, const JsonPath& path) {
            return v.is_null() ? std::optional<Member>() : std::invoke(read, r, v, path);
        },
        [write](const std::optional<Member>& value) { return value ? json(write(*value)) : json(nullptr); });
}

// An object of its own, read and written by its section.
template <typename Member>
struct Nested {
    const Section<Member>& section;
    Member operator()(const Reader& r, const TapeValue& v, const JsonPath& path) const {
        Member member{};
        r.read(v, path, section, member);
        return member;
    }
    json operator()(const Member& value) const { return fieldsToJson(value, section); }
};

// An array of objects of one section; each element is added to the record's
// list, set up by first(record, element), and read there. Its elements may come
// one by one as the file is read (element), and then finish(reader, path,
// record) ends the list in its turn: it tells the first faulty element.
template <typename Record, typename Element, typename First>
Field<Record> listField(const char* key, std::vector<Element> Record::*at, const Section<Element>& section, First first,
                        typename Field<Record>::Read finish = nullptr) {
    typename Field<Record>::Read element = [at, &section, first](const Reader& r, const TapeValue& v,
                                                                 const JsonPath& path, Record& to) {
        Element& added = (to.*at).emplace_back();
        first(to, added);
        r.read(v, path, section, added);
    };
    return {key,
            [element, finish](const Reader& r, const TapeValue& v, const JsonPath& path, Record& to) {
                if (!v.is_array()) r.expected(path, "an array", v);
                if (!v.handedOut())
                    r.list(v, path, [&](const TapeValue& e, const JsonPath& where) { element(r, e, where, to); });
                if (finish)
                    finish(r, v, path, to);
                else
                    r.failIfListFailed(path);
            },
            [at, &section](const Record& from) {
                json all = json::array();
                for (const Element& element : from.*at) all.push_back(fieldsToJson(element, section));
                return all;
            },
            nullptr, element};
}

const Section<HostVersion> kVersionFields{
    field("major", &HostVersion::major, &Reader::int32, kAsIs, "an integer"),
    field("minor", &HostVersion::minor, &Reader::int32, kAsIs, "an integer"),
    field("release", &HostVersion::release, &Reader::int32, kAsIs, "an integer"),
};

const Section<Document> kDocumentFields{
    field("type", &Document::type, &Reader::int32, kAsIs, "an integer (1 FMR, 2 DMR, 3 VMR, 4 SRF)"),
    field("name", &Document::name, &Reader::text, kAsIs),
    {"typeName",
     [](const Reader& r, const TapeValue& v, const JsonPath& path, Document& d) {
         if (v.is_null())
             d.typeNameIsNull = true;
         else if (v.is_string())
             d.typeName = r.text(v, path);
         else
             r.expected(path, "a string or null", v);
     },
     [](const Document& d) { return d.typeNameIsNull ? json(nullptr)
                                    : d.typeName     ? json(*d.typeName)
                                                     : kLeftOut; }},
};

// The opaque ranges of a record, each as hex.
const Section<NRVMPRecord> kOpaqueFields = [] {
    std::vector<Field<NRVMPRecord>> fields;
    for (const OpaqueRange& range : kOpaqueRanges)
        fields.push_back({range.key,
                          [range](const Reader& r, const TapeValue& v, const JsonPath& path, NRVMPRecord& to) {
                              r.hex(v, path, reinterpret_cast<unsigned char*>(&to) + range.offset, range.size);
                          },
                          [range](const NRVMPRecord& from) {
                              return json(
                                  hexText(reinterpret_cast<const unsigned char*>(&from) + range.offset, range.size));
                          }});
    return Section<NRVMPRecord>(std::move(fields));
}();

// A map's record fields and opaque ranges; the map comes with its name
// storage, whose size bounds the name.
const Section<VolumeMap> kMapFields = [] {
    std::vector<Field<VolumeMap>> fields{{"name", &Reader::mapName, [](const VolumeMap& m) { return json(m.name()); }}};
    for (const MapNumber& n : kMapNumbers)
        fields.push_back({n.key,
                          [n](const Reader& r, const TapeValue& v, const JsonPath& path, VolumeMap& m) {
                              if (n.integer != nullptr)
                                  m.record.*n.integer = r.int32(v, path);
                              else
                                  m.record.*n.real = r.real(v, path);
                          },
                          [n](const VolumeMap& m) {
                              return n.integer != nullptr ? json(m.record.*n.integer) : floatToJson(m.record.*n.real);
                          }});
    fields.push_back({"opaque",
                      [](const Reader& r, const TapeValue& v, const JsonPath& path, VolumeMap& m) {
                          r.read(v, path, kOpaqueFields, m.record);
                      },
                      [](const VolumeMap& m) { return fieldsToJson(m.record, kOpaqueFields); }});
    return Section<VolumeMap>(std::move(fields));
}();

const Section<RandomNullRecords> kRandomNullRecordsFields{
    field(
        "seed", &RandomNullRecords::seed,
        [](const Reader& r, const TapeValue& v, const JsonPath& path) {
            return static_cast<uint32_t>(
                r.wholeWithin(v, path, 0, std::numeric_limits<uint32_t>::max(), "an integer from 0 to 4294967295"));
        },
        kAsIs, "an integer from 0 to 4294967295"),
    field(
        "chance", &RandomNullRecords::chance,
        [](const Reader& r, const TapeValue& v, const JsonPath& path) {
            const double chance = v.get<double>();
            if (!v.is_number() || !(chance >= 0.0 && chance <= 1.0)) r.expected(path, "a number from 0 to 1", v);
            return chance;
        },
        kAsIs),
};

const Section<HostileModes> kHostileFields{
    field(
        "nullRecordIndices", &HostileModes::nullRecordIndices,
        [](const Reader& r, const TapeValue& v, const JsonPath& path) {
            if (!v.is_array()) r.expected(path, "an array of map indices", v);
            std::vector<int32_t> indices;
            r.list(v, path, [&](const TapeValue& index, const JsonPath& at) { indices.push_back(r.int32(index, at)); });
            return indices;
        },
        kAsIs),
    nullableField("randomNullRecords", &HostileModes::randomNullRecords,
                  Nested<RandomNullRecords>{kRandomNullRecordsFields},
                  Nested<RandomNullRecords>{kRandomNullRecordsFields}),
    nullableField("reportedMapCount", &HostileModes::reportedMapCount, &Reader::int32, kAsIs),
    field("unterminatedStrings", &HostileModes::unterminatedStrings, &Reader::boolean, kAsIs),
    field("mapCreationFails", &HostileModes::mapCreationFails, &Reader::boolean, kAsIs),
    field("nullMapNames", &HostileModes::nullMapNames, &Reader::boolean, kAsIs),
    nullableField("reportedDocumentCount", &HostileModes::reportedDocumentCount, &Reader::int32, kAsIs),
};

const Section<Workspace> kWorkspaceFields{
    field("description", &Workspace::description, &Reader::text,
          [](const std::string& text) { return text.empty() ? kLeftOut : json(text); }),
    field("hostVersion", &Workspace::version, Nested<HostVersion>{kVersionFields}, Nested<HostVersion>{kVersionFields}),
    // With documents, the first is the current one unless the file says otherwise.
    listField("documents", &Workspace::documents, kDocumentFields,
              [](Workspace& w, Document&) { w.currentDocument = 0; }),
    {"currentDocument",
     [](const Reader& r, const TapeValue& v, const JsonPath& path, Workspace& w) {
         w.currentDocument = r.currentDocument(v, path, w.documents.size());
     },
     [](const Workspace& w) { return json(w.currentDocument); }},
    field(
        "mapNameCapacity", &Workspace::mapNameCapacity,
        [](const Reader& r, const TapeValue& v, const JsonPath& path) {
            return static_cast<std::size_t>(r.wholeWithin(v, path, 1, kMaxNameCapacity,
                                                          "an integer from 1 to " + std::to_string(kMaxNameCapacity)));
        },
        kAsIs),
    // The names go into storage of the capacity once it is known: it may come
    // after the maps.
    listField(
        "maps", &Workspace::maps, kMapFields,
        [](const Workspace& w, VolumeMap& map) { map.setName("", w.mapNameCapacity); },
        [](const Reader& r, const TapeValue&, const JsonPath& path, Workspace& w) { r.placeMapNames(w, path); }),
    field(
        "parameters", &Workspace::parameters,
        [](const Reader& r, const TapeValue& v, const JsonPath& path) {
            if (!v.is_object()) r.expected(path, "an object", v);
            std::map<std::string, Parameter> parameters;
            for (const auto& [name, value] : v.members())
                parameters[std::string(name)] = r.parameter(name, value, path);
            return parameters;
        },
        [](const std::map<std::string, Parameter>& parameters) {
            json all = json::object();
            for (const auto& [name, p] : parameters)
                all[name] = p.kind == Parameter::Kind::Integer ? json(p.integer)
                            : p.kind == Parameter::Kind::Float ? floatToJson(p.real)
                                                               : json(p.text);
            return all;
        }),
    field("hostile", &Workspace::hostile, Nested<HostileModes>{kHostileFields},
          [](const HostileModes& h) {
              const json hostile = fieldsToJson(h, kHostileFields);
              return hostile == fieldsToJson(HostileModes{}, kHostileFields) ? kLeftOut : hostile;
          }),
};

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

std::optional<float> floatOfSpecialText(const std::string& text) {
    if (text == "Infinity" || text == "inf") return std::numeric_limits<float>::infinity();
    if (text == "-Infinity" || text == "-inf") return -std::numeric_limits<float>::infinity();
    if (text == "NaN" || text == "nan") return floatOfBits(kQuietNaNBits);
    if (text.size() == 14 && text.compare(0, 6, "NaN:0x") == 0 &&
        text.find_first_not_of("0123456789abcdefABCDEF", 6) == std::string::npos) {
        const float nan = floatOfBits(static_cast<uint32_t>(std::strtoul(text.c_str() + 6, nullptr, 16)));
        if (std::isnan(nan)) return nan;
    }
    return std::nullopt;
}

std::optional<double> wholeValue(const json& number) {
    return wholeValueOf(number);
}

std::optional<int32_t> wholeInt32(const json& number, const std::string& shown) {
    return int32OfWhole(wholeValue(number), [&] { return shown; });
}

float nearestFloat(double number, const std::string& shown) {
    return nearestFloatShown(number, [&] { return shown; });
}

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

std::string shortestFloatText(float value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    char text[64];
    auto readsBack = [value](const char* candidate) {
        return floatBits(static_cast<float>(std::strtod(candidate, nullptr))) == floatBits(value);
    };
    // The shortest text for a float reader ("10", not "1e+01"); the check
    // makes sure a double reader gets there too.
    auto [end, failed] = std::to_chars(text, text + sizeof text - 1, value);
    if (failed == std::errc()) {
        *end = '\0';
        if (readsBack(text)) return text;
    }
    for (int digits = 1; digits <= 9; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(value));
        if (readsBack(text)) return text;
    }
    std::snprintf(text, sizeof text, "%.17g", static_cast<double>(value));
    return text;
}

json floatToJson(float value) {
    if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
    if (std::isnan(value)) {
        if (floatBits(value) == kQuietNaNBits) return "NaN";
        char text[16];
        std::snprintf(text, sizeof text, "NaN:0x%08x", static_cast<unsigned>(floatBits(value)));
        return text;
    }
    // The double nearest the shortest text: it dumps as that text, or a shorter one.
    return std::strtod(shortestFloatText(value).c_str(), nullptr);
}

json mapToJson(const VolumeMap& map) {
    return fieldsToJson(map, kMapFields);
}

json workspaceToJson(const Workspace& workspace) {
    return fieldsToJson(workspace, kWorkspaceFields);
}

std::string dumpJson(const json& value) {
    return value.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

std::string workspaceText(const Workspace& workspace) {
    return dumpJson(workspaceToJson(workspace));
}

void writeWorkspaceFile(const Workspace& workspace, const std::string& path) {
    if (const auto reason = writeWholeFile(path, workspaceText(workspace)))
        throw WorkspaceFileError(path + ": cannot write the file: " + *reason);
}

}  // namespace nimbrel
