#include "tests/hostile/hostile_run.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/standin_fixture.h"

namespace kelvane::testing {
namespace {

using Bytes = std::vector<unsigned char>;

bool switchOn(const nimbrel::Workspace& workspace, const char* name) {
    auto found = workspace.parameters.find(name);
    return found != workspace.parameters.end() && found->second.kind == nimbrel::Parameter::Kind::Integer &&
           found->second.integer != 0;
}

#define KELVANE_FIELD(field)                                     \
    FieldBytes {                                                 \
        offsetof(NRVMPRecord, field), sizeof(NRVMPRecord::field) \
    }

// The record's bytes with the name pointer and the given fields blanked.
Bytes hostOwnedBytes(const NRVMPRecord& record, const std::vector<FieldBytes>& fields) {
    const auto* raw = reinterpret_cast<const unsigned char*>(&record);
    Bytes bytes(raw, raw + sizeof record);
    std::vector<FieldBytes> blanked = fields;
    blanked.push_back(KELVANE_FIELD(name));
    for (const FieldBytes& f : blanked)
        std::fill(bytes.begin() + static_cast<long>(f.offset), bytes.begin() + static_cast<long>(f.offset + f.size), 0);
    return bytes;
}

}  // namespace

std::vector<FieldBytes> settableFields(const nimbrel::Workspace& w) {
    std::vector<FieldBytes> fields;
    if (switchOn(w, "DoSetMin")) fields.push_back(KELVANE_FIELD(thresholdMin));
    if (switchOn(w, "DoSetMax")) fields.push_back(KELVANE_FIELD(thresholdMax));
    if (switchOn(w, "DoClusterSize")) fields.push_back(KELVANE_FIELD(clusterSize));
    if (switchOn(w, "DoUseClusterSize")) fields.push_back(KELVANE_FIELD(useClusterSize));
    if (switchOn(w, "DoShowPosNegBoth")) fields.push_back(KELVANE_FIELD(showPosNeg));
    if (switchOn(w, "DoTransparancy")) fields.push_back(KELVANE_FIELD(transparency));
    if (switchOn(w, "DoOverlayMaps")) fields.push_back(KELVANE_FIELD(overlay));
    return fields;
}

Lines HostileRun::executeLines() const {
    Lines all = session->logLines();
    if (all.size() < 4) {
        ADD_FAILURE() << "only " << all.size() << " log lines";
        return {};
    }
    EXPECT_EQ(all.back(), " ");
    return Lines(all.begin() + 3, all.end() - 1);
}

int HostileRun::recordGets() const {
    int gets = 0;
    for (const std::string& call : session->calls()) gets += call.rfind("nbGetNRVMPOfCurrentVMR", 0) == 0;
    return gets;
}

HostileRun runHostile(nimbrel::Workspace& workspace) {
    HostileRun run;
    run.before = workspace;
    run.session = std::make_unique<nimbrel::HostSession>(workspace);
    run.outcome = nimbrel::runPlugin(pluginModule(), *run.session);
    return run;
}

void expectOnlyOwnBytesChanged(const HostileRun& run, const nimbrel::Workspace& after) {
    std::vector<FieldBytes> settable = settableFields(run.before);
    std::vector<FieldBytes> settableAndOverlay = settable;
    settableAndOverlay.push_back(KELVANE_FIELD(overlay));

    for (const auto& set : run.session->recordsSet()) {
        ASSERT_GE(set.index, 0);
        ASSERT_LT(static_cast<std::size_t>(set.index), run.before.maps.size());
        const auto index = static_cast<std::size_t>(set.index);
        EXPECT_EQ(set.record.name, after.maps[index].nameStorage.data()) << "map " << set.index + 1;
        EXPECT_EQ(hostOwnedBytes(set.record, settableAndOverlay),
                  hostOwnedBytes(run.before.maps[index].record, settableAndOverlay))
            << "a record handed back for map " << set.index + 1 << " is not that map's own";
    }
    ASSERT_EQ(after.maps.size(), run.before.maps.size());
    for (std::size_t m = 0; m < after.maps.size(); ++m) {
        EXPECT_EQ(hostOwnedBytes(after.maps[m].record, settable), hostOwnedBytes(run.before.maps[m].record, settable))
            << "map " << m + 1 << " changed outside the chosen fields";
        EXPECT_EQ(after.maps[m].nameStorage, run.before.maps[m].nameStorage) << "map " << m + 1;
    }
}

}  // namespace kelvane::testing
