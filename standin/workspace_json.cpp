#include "standin/workspace_json.h"

#include <cctype>
#include <charconv>
#include <cerrno>
#include <cstddef>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <limits>
#include <sstream>
#include <system_error>
#include <vector>

#include "standin/input_file.h"
#include "standin/json_messages.h"
#include "standin/output_file.h"
#include "standin/strict_json.h"

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

std::string member(const std::string& path, const std::string& key) {
    return path.empty() ? key : path + "." + key;
}

std::string element(const std::string& path, std::size_t index) {
    return path + "[" + std::to_string(index) + "]";
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

class Reader {
public:
    Reader(std::string source, const DeclaredParameters* declared) : source_(std::move(source)), declared_(declared) {}

    [[noreturn]] void fail(const std::string& path, const std::string& what) const {
        throw WorkspaceFileError(source_ + ": " + (path.empty() ? std::string("top level") : path) + ": " + what);
    }

    [[noreturn]] void expected(const std::string& path, const std::string& what, const json& got) const {
        fail(path, "expected " + what + ", got " + describeJson(got, kJsonKindWords));
    }

    void object(const json& value, const std::string& path, std::initializer_list<const char*> fields) const {
        if (!value.is_object()) expected(path, "an object", value);
        if (const auto key = unknownKey(value, fields))
            fail(member(path, *key), "unknown field; expected one of " + keyList(fields));
    }

    const json& require(const json& object, const std::string& path, const char* key, const char* what) const {
        const json* value = findMember(object, key);
        if (value == nullptr) fail(member(path, key), std::string("expected ") + what + ", but the field is missing");
        return *value;
    }

    int32_t int32(const json& value, const std::string& path) const {
        if (value.is_number_unsigned()) {
            auto v = value.get<uint64_t>();
            if (v <= static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) return static_cast<int32_t>(v);
        } else if (value.is_number_integer()) {
            auto v = value.get<int64_t>();
            if (v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max())
                return static_cast<int32_t>(v);
        } else {
            expected(path, "an integer", value);
        }
        expected(path, "an integer from -2147483648 to 2147483647", value);
    }

    float real(const json& value, const std::string& path) const {
        if (value.is_number()) {
            double v = value.get<double>();
            // Beyond this a double rounds to infinity as a float.
            const double limit = std::ldexp(1.0, 128) - std::ldexp(1.0, 103);
            if (!(std::fabs(v) < limit)) expected(path, "a number within single-precision range", value);
            if (std::fabs(v) > FLT_MAX) return v > 0 ? FLT_MAX : -FLT_MAX;  // rounds to the largest float
            return static_cast<float>(v);
        }
        if (value.is_string())
            if (const auto special = floatOfSpecialText(value.get<std::string>())) return *special;
        expected(path, "a number (or \"NaN\", \"Infinity\", \"-Infinity\")", value);
    }

    std::string text(const json& value, const std::string& path) const {
        if (!value.is_string()) expected(path, "a string", value);
        std::string result = value.get<std::string>();
        if (result.find('\0') != std::string::npos) fail(path, "expected a string without zero characters");
        return result;
    }

    bool boolean(const json& value, const std::string& path) const {
        if (!value.is_boolean()) expected(path, "true or false", value);
        return value.get<bool>();
    }

    Workspace workspace(const json& root) const {
        object(root, "",
               {"description", "hostVersion", "documents", "currentDocument", "mapNameCapacity", "maps", "parameters",
                "hostile"});
        Workspace w;
        if (const json* v = findMember(root, "description")) w.description = text(*v, "description");
        if (const json* v = findMember(root, "hostVersion")) w.version = version(*v, "hostVersion");
        if (const json* v = findMember(root, "documents")) {
            if (!v->is_array()) expected("documents", "an array", *v);
            for (std::size_t i = 0; i < v->size(); ++i)
                w.documents.push_back(document((*v)[i], element("documents", i)));
        }
        w.currentDocument = w.documents.empty() ? -1 : 0;
        if (const json* v = findMember(root, "currentDocument"))
            w.currentDocument = currentDocument(*v, w.documents.size());
        if (const json* v = findMember(root, "mapNameCapacity")) {
            if (!v->is_number_unsigned() || v->get<uint64_t>() < 1 || v->get<uint64_t>() > kMaxNameCapacity)
                expected("mapNameCapacity", "an integer from 1 to " + std::to_string(kMaxNameCapacity), *v);
            w.mapNameCapacity = static_cast<std::size_t>(v->get<uint64_t>());
        }
        if (const json* v = findMember(root, "maps")) {
            if (!v->is_array()) expected("maps", "an array", *v);
            for (std::size_t i = 0; i < v->size(); ++i)
                w.maps.push_back(map((*v)[i], element("maps", i), w.mapNameCapacity));
        }
        if (const json* v = findMember(root, "parameters")) {
            if (!v->is_object()) expected("parameters", "an object", *v);
            for (const auto& item : v->items()) w.parameters[item.key()] = parameter(item.key(), item.value());
        }
        if (const json* v = findMember(root, "hostile")) w.hostile = hostile(*v, "hostile");
        return w;
    }

private:
    HostVersion version(const json& value, const std::string& path) const {
        object(value, path, {"major", "minor", "release"});
        HostVersion v;
        v.major = int32(require(value, path, "major", "an integer"), member(path, "major"));
        v.minor = int32(require(value, path, "minor", "an integer"), member(path, "minor"));
        v.release = int32(require(value, path, "release", "an integer"), member(path, "release"));
        return v;
    }

    Document document(const json& value, const std::string& path) const {
        object(value, path, {"type", "name", "typeName"});
        Document d;
        d.type = int32(require(value, path, "type", "an integer (1 FMR, 2 DMR, 3 VMR, 4 SRF)"), member(path, "type"));
        if (const json* v = findMember(value, "name")) d.name = text(*v, member(path, "name"));
        if (const json* v = findMember(value, "typeName")) {
            if (v->is_null())
                d.typeNameIsNull = true;
            else if (v->is_string())
                d.typeName = text(*v, member(path, "typeName"));
            else
                expected(member(path, "typeName"), "a string or null", *v);
        }
        return d;
    }

    int32_t currentDocument(const json& value, std::size_t documents) const {
        const std::string range =
            documents == 0 ? std::string("-1 (there are no documents)")
                           : "a document index from 0 to " + std::to_string(documents - 1) + ", or -1 for none";
        if (value.is_number_unsigned()) {
            if (value.get<uint64_t>() < documents) return static_cast<int32_t>(value.get<uint64_t>());
        } else if (value.is_number_integer()) {
            // Any negative id means no current document; it is kept as given.
            if (value.get<int64_t>() >= std::numeric_limits<int32_t>::min())
                return static_cast<int32_t>(value.get<int64_t>());
        }
        expected("currentDocument", range, value);
    }

    VolumeMap map(const json& value, const std::string& path, std::size_t capacity) const {
        object(value, path,
               {"name", "mapType", "thresholdMin", "thresholdMax", "clusterSize", "useClusterSize", "degreesOfFreedom",
                "showPosNeg", "transparency", "overlay", "opaque"});
        VolumeMap m;
        NRVMPRecord& r = m.record;
        std::string name;
        if (const json* v = findMember(value, "name")) {
            name = text(*v, member(path, "name"));
            if (name.size() > capacity - 1)
                fail(member(path, "name"), "expected a name of at most " + std::to_string(capacity - 1) +
                                               " bytes (mapNameCapacity " + std::to_string(capacity) + "), got " +
                                               std::to_string(name.size()) + " bytes");
        }
        m.setName(name, capacity);
        auto integer = [&](const char* key, int32_t& field) {
            if (const json* v = findMember(value, key)) field = int32(*v, member(path, key));
        };
        auto floating = [&](const char* key, float& field) {
            if (const json* v = findMember(value, key)) field = real(*v, member(path, key));
        };
        integer("mapType", r.mapType);
        floating("thresholdMin", r.thresholdMin);
        floating("thresholdMax", r.thresholdMax);
        integer("clusterSize", r.clusterSize);
        integer("useClusterSize", r.useClusterSize);
        integer("degreesOfFreedom", r.degreesOfFreedom);
        integer("showPosNeg", r.showPosNeg);
        floating("transparency", r.transparency);
        integer("overlay", r.overlay);
        if (const json* v = findMember(value, "opaque")) opaque(*v, member(path, "opaque"), r);
        return m;
    }

    void opaque(const json& value, const std::string& path, NRVMPRecord& record) const {
        object(value, path, {"20", "36", "48", "88", "108"});
        auto* bytes = reinterpret_cast<unsigned char*>(&record);
        for (const OpaqueRange& range : kOpaqueRanges) {
            const json* v = findMember(value, range.key);
            if (v == nullptr) continue;
            const std::string where = member(path, range.key);
            const std::string want =
                std::to_string(range.size * 2) + " hex digits (" + std::to_string(range.size) + " bytes)";
            if (!v->is_string()) expected(where, want, *v);
            const std::string hex = v->get<std::string>();
            if (hex.size() != range.size * 2)
                fail(where, "expected " + want + ", got " + std::to_string(hex.size()) + " characters");
            for (std::size_t i = 0; i < hex.size(); ++i)
                if (!isHexDigit(hex[i]))
                    fail(where, "expected " + want + ", got a character that is not a hex digit at position " +
                                    std::to_string(i + 1));
            for (std::size_t i = 0; i < range.size; ++i)
                bytes[range.offset + i] =
                    static_cast<unsigned char>(hexValue(hex[2 * i]) * 16 + hexValue(hex[2 * i + 1]));
        }
    }

    Parameter parameter(const std::string& name, const json& value) const {
        const std::string path = parameterPath(name);
        if (name.empty()) fail(path, "a parameter name must not be empty");
        if (declared_ != nullptr) {
            const auto found = declared_->find(name);
            if (found == declared_->end()) fail(path, undeclaredParameter(name, *declared_));
            switch (found->second) {
                case Parameter::Kind::Integer:
                    if (!value.is_number_integer()) expected(path, "an integer", value);
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

    HostileModes hostile(const json& value, const std::string& path) const {
        object(value, path,
               {"nullRecordIndices", "randomNullRecords", "reportedMapCount", "unterminatedStrings", "mapCreationFails",
                "nullMapNames", "reportedDocumentCount"});
        HostileModes h;
        if (const json* v = findMember(value, "nullRecordIndices")) {
            const std::string where = member(path, "nullRecordIndices");
            if (!v->is_array()) expected(where, "an array of map indices", *v);
            for (std::size_t i = 0; i < v->size(); ++i)
                h.nullRecordIndices.push_back(int32((*v)[i], element(where, i)));
        }
        if (const json* v = findMember(value, "randomNullRecords"))
            if (!v->is_null()) h.randomNullRecords = randomNullRecords(*v, member(path, "randomNullRecords"));
        if (const json* v = findMember(value, "reportedMapCount"))
            if (!v->is_null()) h.reportedMapCount = int32(*v, member(path, "reportedMapCount"));
        if (const json* v = findMember(value, "unterminatedStrings"))
            h.unterminatedStrings = boolean(*v, member(path, "unterminatedStrings"));
        if (const json* v = findMember(value, "mapCreationFails"))
            h.mapCreationFails = boolean(*v, member(path, "mapCreationFails"));
        if (const json* v = findMember(value, "nullMapNames"))
            h.nullMapNames = boolean(*v, member(path, "nullMapNames"));
        if (const json* v = findMember(value, "reportedDocumentCount"))
            if (!v->is_null()) h.reportedDocumentCount = int32(*v, member(path, "reportedDocumentCount"));
        return h;
    }

    RandomNullRecords randomNullRecords(const json& value, const std::string& path) const {
        object(value, path, {"seed", "chance"});
        RandomNullRecords r;
        const json& seed = require(value, path, "seed", "an integer from 0 to 4294967295");
        if (!seed.is_number_unsigned() || seed.get<uint64_t>() > std::numeric_limits<uint32_t>::max())
            expected(member(path, "seed"), "an integer from 0 to 4294967295", seed);
        r.seed = static_cast<uint32_t>(seed.get<uint64_t>());
        if (const json* v = findMember(value, "chance")) {
            if (!v->is_number() || !(v->get<double>() >= 0.0 && v->get<double>() <= 1.0))
                expected(member(path, "chance"), "a number from 0 to 1", *v);
            r.chance = v->get<double>();
        }
        return r;
    }

    std::string source_;
    const DeclaredParameters* declared_;
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
            case StrictJsonError::Kind::Other:
                break;
        }
        throw WorkspaceFileError(source + ": " + error.what());
    }
}

bool isDefault(const HostileModes& h) {
    return h.nullRecordIndices.empty() && !h.randomNullRecords && !h.reportedMapCount && !h.unterminatedStrings &&
           !h.mapCreationFails && !h.nullMapNames && !h.reportedDocumentCount;
}

}  // namespace

std::optional<float> floatOfSpecialText(const std::string& text) {
    if (text == "Infinity") return std::numeric_limits<float>::infinity();
    if (text == "-Infinity") return -std::numeric_limits<float>::infinity();
    if (text == "NaN") return floatOfBits(kQuietNaNBits);
    if (text.size() == 14 && text.compare(0, 6, "NaN:0x") == 0 &&
        text.find_first_not_of("0123456789abcdefABCDEF", 6) == std::string::npos) {
        const float nan = floatOfBits(static_cast<uint32_t>(std::strtoul(text.c_str() + 6, nullptr, 16)));
        if (std::isnan(nan)) return nan;
    }
    return std::nullopt;
}

Workspace parseWorkspace(const std::string& text, const std::string& source, const DeclaredParameters* declared,
                         const ReadProgress& progress) {
    try {
        requireUtf8(text, source);
        return Reader(source, declared).workspace(parseStrictly(text, source, progress));
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
    const NRVMPRecord& r = map.record;
    json m;
    m["name"] = map.name();
    m["mapType"] = r.mapType;
    m["thresholdMin"] = floatToJson(r.thresholdMin);
    m["thresholdMax"] = floatToJson(r.thresholdMax);
    m["clusterSize"] = r.clusterSize;
    m["useClusterSize"] = r.useClusterSize;
    m["degreesOfFreedom"] = r.degreesOfFreedom;
    m["showPosNeg"] = r.showPosNeg;
    m["transparency"] = floatToJson(r.transparency);
    m["overlay"] = r.overlay;
    json opaque = json::object();
    const auto* bytes = reinterpret_cast<const unsigned char*>(&r);
    for (const OpaqueRange& range : kOpaqueRanges) opaque[range.key] = hexText(bytes + range.offset, range.size);
    m["opaque"] = opaque;
    return m;
}

json workspaceToJson(const Workspace& w) {
    json root;
    if (!w.description.empty()) root["description"] = w.description;
    root["hostVersion"] = {{"major", w.version.major}, {"minor", w.version.minor}, {"release", w.version.release}};
    json documents = json::array();
    for (const Document& d : w.documents) {
        json document = {{"type", d.type}, {"name", d.name}};
        if (d.typeNameIsNull)
            document["typeName"] = nullptr;
        else if (d.typeName)
            document["typeName"] = *d.typeName;
        documents.push_back(document);
    }
    root["documents"] = documents;
    root["currentDocument"] = w.currentDocument;
    root["mapNameCapacity"] = w.mapNameCapacity;
    json maps = json::array();
    for (const VolumeMap& map : w.maps) maps.push_back(mapToJson(map));
    root["maps"] = maps;
    json parameters = json::object();
    for (const auto& [name, p] : w.parameters) {
        switch (p.kind) {
            case Parameter::Kind::Integer:
                parameters[name] = p.integer;
                break;
            case Parameter::Kind::Float:
                parameters[name] = floatToJson(p.real);
                break;
            case Parameter::Kind::Text:
                parameters[name] = p.text;
                break;
        }
    }
    root["parameters"] = parameters;
    if (!isDefault(w.hostile)) {
        const HostileModes& h = w.hostile;
        json hostile;
        hostile["nullRecordIndices"] = h.nullRecordIndices;
        if (h.randomNullRecords)
            hostile["randomNullRecords"] = {{"seed", h.randomNullRecords->seed},
                                            {"chance", h.randomNullRecords->chance}};
        else
            hostile["randomNullRecords"] = nullptr;
        hostile["reportedMapCount"] = h.reportedMapCount ? json(*h.reportedMapCount) : json(nullptr);
        hostile["unterminatedStrings"] = h.unterminatedStrings;
        hostile["mapCreationFails"] = h.mapCreationFails;
        hostile["nullMapNames"] = h.nullMapNames;
        hostile["reportedDocumentCount"] = h.reportedDocumentCount ? json(*h.reportedDocumentCount) : json(nullptr);
        root["hostile"] = hostile;
    }
    return root;
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
