#include "authoring/record_layout.h"

#include <cstdint>
#include <stdexcept>
#include <type_traits>

#include "host/nrvmp_record.h"

namespace kelvane::authoring {
namespace {

// The C spelling of the field types the records use.
template <typename T>
struct CType;
template <>
struct CType<char*> {
    static constexpr const char* name = "char*";
};
template <>
struct CType<int32_t> {
    static constexpr const char* name = "int32_t";
};
template <>
struct CType<float> {
    static constexpr const char* name = "float";
};
template <>
struct CType<unsigned char> {
    static constexpr const char* name = "unsigned char";
};

#define KELVANE_RECORD_FIELD(record, field, comment)                                                        \
    RecordField {                                                                                           \
        CType<std::remove_all_extents_t<decltype(record::field)>>::name, #field,                            \
            std::extent_v<decltype(record::field)>, offsetof(record, field), sizeof(record::field), comment \
    }

void requireWhole(const RecordLayout& layout) {
    std::size_t next = 0;
    for (const RecordField& field : layout.fields) {
        if (field.offset != next)
            throw std::logic_error(layout.name + "." + field.name + " is not the field after byte " +
                                   std::to_string(next));
        next = field.offset + field.size;
    }
    if (next != layout.size) throw std::logic_error("the fields of " + layout.name + " do not cover it");
}

}  // namespace

std::vector<RecordLayout> recordLayouts() {
    const std::vector<RecordLayout> layouts = {
        {"NRVMPRecord",
         sizeof(NRVMPRecord),
         "One map's display parameters, as nbGetNRVMPOfCurrentVMR fills them. Edit a record the host has just filled "
         "and hand it back whole with nbSetNRVMPParametersOfCurrentVMR: every byte you do not set, the opaque ranges "
         "and the name pointer included, goes back as the host gave it.",
         {
             KELVANE_RECORD_FIELD(NRVMPRecord, name, "the host's storage of the map's name; never change the pointer"),
             KELVANE_RECORD_FIELD(NRVMPRecord, mapType, "1: a t-map (NIMBREL_T_MAP); read only"),
             KELVANE_RECORD_FIELD(NRVMPRecord, thresholdMin, "lower threshold (a t value for a t-map)"),
             KELVANE_RECORD_FIELD(NRVMPRecord, thresholdMax, "upper threshold"),
             KELVANE_RECORD_FIELD(NRVMPRecord, opaque20, "the host's; hand back unchanged"),
             KELVANE_RECORD_FIELD(NRVMPRecord, clusterSize, "cluster-size threshold"),
             KELVANE_RECORD_FIELD(NRVMPRecord, useClusterSize, "1: the cluster-size threshold applies, 0: it does not"),
             KELVANE_RECORD_FIELD(NRVMPRecord, degreesOfFreedom, "of the map's statistic; read only"),
             KELVANE_RECORD_FIELD(NRVMPRecord, opaque36, "the host's; hand back unchanged"),
             KELVANE_RECORD_FIELD(NRVMPRecord, showPosNeg, "values shown: 1 positive, 2 negative, 3 both"),
             KELVANE_RECORD_FIELD(NRVMPRecord, opaque48, "the host's; hand back unchanged"),
             KELVANE_RECORD_FIELD(NRVMPRecord, transparency, "of the map's overlay"),
             KELVANE_RECORD_FIELD(NRVMPRecord, opaque88, "the host's; hand back unchanged"),
             KELVANE_RECORD_FIELD(NRVMPRecord, overlay, "1: the map is overlaid on the VMR, 0: it is not"),
             KELVANE_RECORD_FIELD(NRVMPRecord, opaque108, "the host's; hand back unchanged"),
         }},
        {"NRVMPsHeader",
         sizeof(NRVMPsHeader),
         "The maps header the caller provides to nbGetNRVMPsOfCurrentVMR. Only the map count is the caller's to read; "
         "trust no count: a negative one means no maps.",
         {
             KELVANE_RECORD_FIELD(NRVMPsHeader, mapCount, "the number of maps on the current VMR"),
             KELVANE_RECORD_FIELD(NRVMPsHeader, hostOwned, "the host's"),
         }},
    };
    for (const RecordLayout& layout : layouts) requireWhole(layout);
    return layouts;
}

}  // namespace kelvane::authoring
