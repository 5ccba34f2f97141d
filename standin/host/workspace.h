#pragma once
// The stand-in host's in-memory workspace: what a workspace file describes and
// what the host functions act on.

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "host/nrvmp_record.h"

namespace nimbrel {

// The host-owned byte ranges of a map record, the opaque members of
// kelvane::NRVMPRecord by offset: kept as the host gave them, never
// interpreted. Workspace files hold each as hex under its offset ("48").
struct OpaqueRange {
    const char* key;
    std::size_t offset;
    std::size_t size;
};
inline constexpr OpaqueRange kOpaqueRanges[] = {
    {"20", offsetof(kelvane::NRVMPRecord, opaque20), sizeof(kelvane::NRVMPRecord::opaque20)},
    {"36", offsetof(kelvane::NRVMPRecord, opaque36), sizeof(kelvane::NRVMPRecord::opaque36)},
    {"48", offsetof(kelvane::NRVMPRecord, opaque48), sizeof(kelvane::NRVMPRecord::opaque48)},
    {"88", offsetof(kelvane::NRVMPRecord, opaque88), sizeof(kelvane::NRVMPRecord::opaque88)},
    {"108", offsetof(kelvane::NRVMPRecord, opaque108), sizeof(kelvane::NRVMPRecord::opaque108)},
};

struct HostVersion {
    int32_t major = 2;
    int32_t minor = 4;
    int32_t release = 0;
};

struct Document {
    int32_t type = 0;  // 1 FMR, 2 DMR, 3 VMR, 4 SRF; any other code is kept as given
    std::string name;
    // What nbGetDocumentTypeName answers; by default the text of the type code.
    // A workspace may set any text, or null.
    std::optional<std::string> typeName;
    bool typeNameIsNull = false;
};

// One statistical map on the current VMR. The record holds every field and the
// opaque bytes; its name pointer is filled in only when the record is handed to
// a plug-in, pointing into nameStorage, the host-owned character storage, at
// nameOffset (bytes in front of it, if any, are the host's own).
struct VolumeMap {
    kelvane::NRVMPRecord record{};
    std::vector<char> nameStorage;  // capacity bytes, zero-terminated name inside
    std::size_t nameOffset = 0;

    char* nameData() { return nameStorage.data() + nameOffset; }
    const char* nameData() const { return nameStorage.data() + nameOffset; }
    std::string name() const;                                     // the text up to the first zero (or capacity)
    void setName(const std::string& name, std::size_t capacity);  // cuts to capacity - 1
};

struct Parameter {
    enum class Kind { Integer, Float, Text };
    Kind kind = Kind::Integer;
    int32_t integer = 0;
    float real = 0.0f;
    std::string text;

    static Parameter ofInteger(int32_t value);
    static Parameter ofFloat(float value);
    static Parameter ofText(std::string value);
};

// Ways to make the stand-in host misbehave on purpose, for testing a plug-in's
// defences. All off by default.
// nbGetNRVMPOfCurrentVMR answers null at random: on each call, with the given
// chance, drawn from a generator that starts from seed with every session, so
// that a run can be repeated exactly.
struct RandomNullRecords {
    uint32_t seed = 0;
    double chance = 0.5;  // 0 to 1
};

struct HostileModes {
    std::vector<int32_t> nullRecordIndices;  // nbGetNRVMPOfCurrentVMR answers null for these
    std::optional<RandomNullRecords> randomNullRecords;
    std::optional<int32_t> reportedMapCount;       // the count written into the maps header
    bool unterminatedStrings = false;              // nbGetStringParameter fills all 512 bytes, no zero
    bool mapCreationFails = false;                 // nbCreateNRVMPsForCurrentVMR answers 0
    bool nullMapNames = false;                     // nbGetNRVMPOfCurrentVMR hands out a null name pointer
    std::optional<int32_t> reportedDocumentCount;  // what nbGetNumberOfDocsInWorkspace answers
};

struct Workspace {
    std::string description;  // what the workspace file says it is for, if anything
    HostVersion version;
    std::vector<Document> documents;
    int32_t currentDocument = -1;  // 0-based; negative: no current document
    std::vector<VolumeMap> maps;   // the maps of the current VMR
    std::map<std::string, Parameter> parameters;
    std::size_t mapNameCapacity = 256;  // bytes of name storage behind each map's record
    HostileModes hostile;
};

// The text of a document type code ("VMR"), or "" for an unknown code.
std::string documentTypeText(int32_t type);

}  // namespace nimbrel
