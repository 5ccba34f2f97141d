#include "standin/files/workspace_json.h"

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
#include <vector>

#include "standin/base/text.h"
#include "standin/files/input_file.h"
#include "standin/files/json_messages.h"
#include "standin/files/json_reader.h"
#include "standin/files/output_file.h"
#include "standin/files/strict_json.h"
#include "standin/base/activity.h"

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

// A parameter's path: parameters.MinP, or parameters["odd name"].
std::string parameterPath(const std::string& name) {
    bool plain = !name.empty();
    for (char c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) plain = false;
    return plain ? "parameters." + name : "parameters[" + quotedExcerpt(name) + "]";
}

bool isHexDigit(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    return std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
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

class Reader;

// One field of a record as a workspace file holds it: its key, how it is read
// into the record, how it is written (a discarded value: left out) and, for a
// field that must be there, what is expected of it.
template <typename Record>
struct Field {
    const char* key;
    std::function<void(const Reader&, const json&, const std::string& path, Record&)> read;
    std::function<json(const Record&)> write;
    const char* required = nullptr;
};

// The fields of one kind of object, in the order they are read and written.
template <typename Record>
using Section = std::vector<Field<Record>>;

const json kLeftOut(json::value_t::discarded);

class Reader : public JsonReader<WorkspaceFileError> {
public:
    // text: the file's JSON text, where errors about numbers find their line.
    Reader(std::string source, const DeclaredParameters* declared, const std::string* text = nullptr)
        : JsonReader(std::move(source), kJsonKindWords, text), declared_(declared) {}

    // The object at path read field by field into record.
    template <typename Record>
    Record read(const json& value, const std::string& path, const Section<Record>& section, Record record = {}) const {
        std::vector<const char*> keys;
        for (const Field<Record>& field : section) keys.push_back(field.key);
        object(value, path, keys);
        for (const Field<Record>& field : section) {
            const json* v = findMember(value, field.key);
            if (v != nullptr)
                field.read(*this, *v, jsonMember(path, field.key), record);
            else if (field.required != nullptr)
                fail(jsonMember(path, field.key),
                     std::string("expected ") + field.required + ", but the field is missing");
        }
        return record;
    }

    // Each element of the array at path, read by each(element, its path).
    template <typename Each>
    void list(const json& value, const std::string& path, const Each& each) const {
        if (!value.is_array()) expected(path, "an array", value);
        for (std::size_t i = 0; i < value.size(); ++i) each(value[i], jsonElement(path, i));
    }

    int32_t int32(const json& value, const std::string& path) const {
        if (!value.is_number()) expected(path, "an integer", value);
        try {
            if (const auto whole = wholeInt32(value, value.dump())) return *whole;
        } catch (const NumberRangeError& error) {
            failNumber(path, error.what());
        }
        expected(path, "an integer", value);
    }

    // A whole number from least to most, or the error that says what was expected.
    double wholeWithin(const json& value, const std::string& path, double least, double most,
                       const std::string& what) const {
        const std::optional<double> whole = value.is_number() ? wholeValue(value) : std::nullopt;
        if (!whole || *whole < least || *whole > most) expected(path, what, value);
        return *whole;
    }

    float real(const json& value, const std::string& path) const {
        if (value.is_number()) {
            try {
                return nearestFloat(value.get<double>(), value.dump());
            } catch (const NumberRangeError& error) {
                failNumber(path, error.what());
            }
        }
        if (value.is_string())
            if (const auto special = floatOfSpecialText(value.get<std::string>())) return *special;
        expected(path, "a number (or \"NaN\", \"Infinity\", \"-Infinity\")", value);
    }

    std::string text(const json& value, const std::string& path) const {
        std::string result = JsonReader::text(value, path);
        if (result.find('\0') != std::string::npos) fail(path, "expected a string without zero characters");
        return result;
    }

    bool boolean(const json& value, const std::string& path) const {
        if (!value.is_boolean()) expected(path, "true or false", value);
        return value.get<bool>();
    }

    int32_t currentDocument(const json& value, std::size_t documents) const {
        const std::string range =
            documents == 0 ? std::string("-1 (there are no documents)")
                           : "a document index from 0 to " + std::to_string(documents - 1) + ", or -1 for none";
        // Any negative id means no current document; it is kept as given.
        const double id = wholeWithin(value, "currentDocument", std::numeric_limits<int32_t>::min(),
                                      static_cast<double>(documents) - 1, range);
        return static_cast<int32_t>(id);
    }

    void mapName(const json& value, const std::string& path, VolumeMap& map) const {
        const std::string name = text(value, path);
        const std::size_t capacity = map.nameStorage.size();
        if (name.size() > capacity - 1)
            fail(path, "expected a name of at most " + std::to_string(capacity - 1) + " bytes (mapNameCapacity " +
                           std::to_string(capacity) + "), got " + std::to_string(name.size()) + " bytes");
        map.setName(name, capacity);
    }

    // size bytes from their hex text.
    void hex(const json& value, const std::string& path, unsigned char* bytes, std::size_t size) const {
        const std::string want = std::to_string(size * 2) + " hex digits (" + std::to_string(size) + " bytes)";
        if (!value.is_string()) expected(path, want, value);
        const std::string hex = value.get<std::string>();
        if (hex.size() != size * 2)
            fail(path, "expected " + want + ", got " + std::to_string(hex.size()) + " characters");
        for (std::size_t i = 0; i < hex.size(); ++i)
            if (!isHexDigit(hex[i]))
                fail(path, "expected " + want + ", got a character that is not a hex digit at position " +
                               std::to_string(i + 1));
        for (std::size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<unsigned char>(hexValue(hex[2 * i]) * 16 + hexValue(hex[2 * i + 1]));
    }

    Parameter parameter(const std::string& name, const json& value) const {
        const std::string path = parameterPath(name);
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

    // A text the host's getter can hand over whole.
    Parameter textParameter(const json& value, const std::string& path) const {
        std::string result = text(value, path);
        if (const auto refusal = textParameterRefusal(result)) failAtLine(path, *refusal);
        return Parameter::ofText(std::move(result));
    }

private:
    const DeclaredParameters* declared_;
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
            [at, read](const Reader& r, const json& v, const std::string& path, Record& to) {
                to.*at = std::invoke(read, r, v, path);
            },
            [at, write](const Record& from) { return json(write(from.*at)); }, required};
}

// A member that a file may give as null: then absent.
template <typename Record, typename Member, typename Read, typename Write>
Field<Record> nullableField(const char* key, std::optional<Member> Record::*at, Read read, Write write) {
    return field(
        key, at,
        [read](const Reader& r, const json& v, const std::string& path) {
            return v.is_null() ? std::optional<Member>() : std::invoke(read, r, v, path);
        },
        [write](const std::optional<Member>& value) { return value ? json(write(*value)) : json(nullptr); });
}

// An object of its own, read and written by its section.
template <typename Member>
struct Nested {
    const Section<Member>& section;
    Member operator()(const Reader& r, const json& v, const std::string& path) const {
        return r.read(v, path, section);
    }
    json operator()(const Member& value) const { return fieldsToJson(value, section); }
};

// An array of objects of one section; each starts as first(record) gives it.
template <typename Record, typename Element, typename First>
Field<Record> listField(const char* key, std::vector<Element> Record::*at, const Section<Element>& section,
                        First first) {
    return {key,
            [at, &section, first](const Reader& r, const json& v, const std::string& path, Record& to) {
                r.list(v, path, [&](const json& element, const std::string& where) {
                    (to.*at).push_back(r.read(element, where, section, first(to)));
                });
            },
            [at, &section](const Record& from) {
                json all = json::array();
                for (const Element& element : from.*at) all.push_back(fieldsToJson(element, section));
                return all;
            }};
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
     [](const Reader& r, const json& v, const std::string& path, Document& d) {
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
    Section<NRVMPRecord> fields;
    for (const OpaqueRange& range : kOpaqueRanges)
        fields.push_back({range.key,
                          [range](const Reader& r, const json& v, const std::string& path, NRVMPRecord& to) {
                              r.hex(v, path, reinterpret_cast<unsigned char*>(&to) + range.offset, range.size);
                          },
                          [range](const NRVMPRecord& from) {
                              return json(
                                  hexText(reinterpret_cast<const unsigned char*>(&from) + range.offset, range.size));
                          }});
    return fields;
}();

// A map's record fields and opaque ranges; the map comes with its name
// storage, whose size bounds the name.
const Section<VolumeMap> kMapFields = [] {
    Section<VolumeMap> fields{{"name", &Reader::mapName, [](const VolumeMap& m) { return json(m.name()); }}};
    for (const MapNumber& n : kMapNumbers)
        fields.push_back({n.key,
                          [n](const Reader& r, const json& v, const std::string& path, VolumeMap& m) {
                              if (n.integer != nullptr)
                                  m.record.*n.integer = r.int32(v, path);
                              else
                                  m.record.*n.real = r.real(v, path);
                          },
                          [n](const VolumeMap& m) {
                              return n.integer != nullptr ? json(m.record.*n.integer) : floatToJson(m.record.*n.real);
                          }});
    fields.push_back({"opaque",
                      [](const Reader& r, const json& v, const std::string& path, VolumeMap& m) {
                          m.record = r.read(v, path, kOpaqueFields, m.record);
                      },
                      [](const VolumeMap& m) { return fieldsToJson(m.record, kOpaqueFields); }});
    return fields;
}();

const Section<RandomNullRecords> kRandomNullRecordsFields{
    field(
        "seed", &RandomNullRecords::seed,
        [](const Reader& r, const json& v, const std::string& path) {
            return static_cast<uint32_t>(
                r.wholeWithin(v, path, 0, std::numeric_limits<uint32_t>::max(), "an integer from 0 to 4294967295"));
        },
        kAsIs, "an integer from 0 to 4294967295"),
    field(
        "chance", &RandomNullRecords::chance,
        [](const Reader& r, const json& v, const std::string& path) {
            if (!v.is_number() || !(v.get<double>() >= 0.0 && v.get<double>() <= 1.0))
                r.expected(path, "a number from 0 to 1", v);
            return v.get<double>();
        },
        kAsIs),
};

const Section<HostileModes> kHostileFields{
    field(
        "nullRecordIndices", &HostileModes::nullRecordIndices,
        [](const Reader& r, const json& v, const std::string& path) {
            if (!v.is_array()) r.expected(path, "an array of map indices", v);
            std::vector<int32_t> indices;
            r.list(v, path, [&](const json& index, const std::string& at) { indices.push_back(r.int32(index, at)); });
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
              [](Workspace& w) {
                  w.currentDocument = 0;
                  return Document{};
              }),
    {"currentDocument",
     [](const Reader& r, const json& v, const std::string&, Workspace& w) {
         w.currentDocument = r.currentDocument(v, w.documents.size());
     },
     [](const Workspace& w) { return json(w.currentDocument); }},
    field(
        "mapNameCapacity", &Workspace::mapNameCapacity,
        [](const Reader& r, const json& v, const std::string& path) {
            return static_cast<std::size_t>(r.wholeWithin(v, path, 1, kMaxNameCapacity,
                                                          "an integer from 1 to " + std::to_string(kMaxNameCapacity)));
        },
        kAsIs),
    listField("maps", &Workspace::maps, kMapFields,
              [](const Workspace& w) {
                  VolumeMap map;
                  map.setName("", w.mapNameCapacity);
                  return map;
              }),
    field(
        "parameters", &Workspace::parameters,
        [](const Reader& r, const json& v, const std::string& path) {
            if (!v.is_object()) r.expected(path, "an object", v);
            std::map<std::string, Parameter> parameters;
            for (const auto& item : v.items()) parameters[item.key()] = r.parameter(item.key(), item.value());
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

json parseStrictly(const std::string& text, const std::string& source, const ReadProgress& progress) {
    try {
        return parseStrictJson(text, 0, text.size(), progress);
    } catch (const StrictJsonError& error) {
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
    if (number.is_number_unsigned()) return static_cast<double>(number.get<uint64_t>());
    if (number.is_number_integer()) return static_cast<double>(number.get<int64_t>());
    if (number.is_number_float() && std::floor(number.get<double>()) == number.get<double>())
        return number.get<double>();
    return std::nullopt;
}

std::optional<int32_t> wholeInt32(const json& number, const std::string& shown) {
    const std::optional<double> whole = wholeValue(number);
    if (!whole) return std::nullopt;
    if (*whole < std::numeric_limits<int32_t>::min() || *whole > std::numeric_limits<int32_t>::max())
        throw NumberRangeError("the integer " + shown +
                               " is out of range: expected an integer from -2147483648 to 2147483647");
    return static_cast<int32_t>(*whole);
}

float nearestFloat(double number, const std::string& shown) {
    // From this on a double rounds to infinity as a float.
    const double limit = std::ldexp(1.0, 128) - std::ldexp(1.0, 103);
    if (!(std::fabs(number) < limit))
        throw NumberRangeError("the number " + shown + " is too large for single precision (beyond about 3.4e38)");
    if (std::fabs(number) > FLT_MAX) return number > 0 ? FLT_MAX : -FLT_MAX;  // rounds to the largest float
    const float nearest = static_cast<float>(number);
    if (nearest == 0 && number != 0)
        throw NumberRangeError("the number " + shown +
                               " is too small for single precision (nearer 0 than about 1.4e-45, it would read as 0)");
    return nearest;
}

Workspace parseWorkspace(const std::string& text, const std::string& source, const DeclaredParameters* declared,
                         const ReadProgress& progress) {
    try {
        requireUtf8(text, source);
        const json document = parseStrictly(text, source, progress);
        if (const json* maps = document.is_object() ? findMember(document, "maps") : nullptr)
            noteActivity("reading the workspace " + source + " (" + groupedDigits(maps->size()) + " maps)");
        return Reader(source, declared, &text).read(document, "", kWorkspaceFields);
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
