#pragma once
// The records exchanged with the host, field by field, as the plug-in's own
// declarations lay them out (host/nrvmp_record.h): each field's C type, offset
// and size are taken from those declarations by the compiler.

#include <cstddef>
#include <string>
#include <vector>

namespace kelvane::authoring {

struct RecordField {
    std::string type;     // a C type: "int32_t", "char*"
    std::string name;     // "thresholdMin"
    std::size_t extent;   // the array's length, 0 for a single value
    std::size_t offset;   // bytes from the record's start
    std::size_t size;     // bytes
    std::string comment;  // for authors, one line
};

struct RecordLayout {
    std::string name;  // "NRVMPRecord"
    std::size_t size;
    std::string comment;  // for authors, a few lines
    std::vector<RecordField> fields;
};

// The map record and the maps header. Throws std::logic_error when the fields
// do not cover their record byte for byte, in order.
std::vector<RecordLayout> recordLayouts();

}  // namespace kelvane::authoring
