#include "standin/files/workspace_fields.h"

#include <cstring>
#include <limits>
#include <map>
#include <optional>
#include <string>

#include "standin/files/workspace_read.h"

namespace nimbrel::workspace_file {
namespace {

using json = nlohmann::ordered_json;
using kelvane::NRVMPRecord;

// The largest capacity for map names a workspace may give.
constexpr std::size_t kMaxNameCapacity = 65536;

const json kLeftOut(json::value_t::discarded);

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

}  // namespace

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

namespace {

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

}  // namespace

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

}  // namespace nimbrel::workspace_file
