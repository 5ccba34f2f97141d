#include "standin/check/check_workspace.h"

#include <algorithm>
#include <iterator>
#include <cstddef>
#include <cstring>

#include "host/host_contract.h"
#include "standin/files/json_messages.h"
#include "standin/host/workspace.h"

namespace nimbrel::check {
namespace {

using kelvane::NRVMPRecord;

constexpr unsigned char kGuard = 0xA5;

bool sameHostOwnedBytes(const NRVMPRecord& a, const NRVMPRecord& b) {
    const auto* x = reinterpret_cast<const unsigned char*>(&a);
    const auto* y = reinterpret_cast<const unsigned char*>(&b);
    return std::all_of(std::begin(kOpaqueRanges), std::end(kOpaqueRanges),
                       [&](const OpaqueRange& r) { return std::memcmp(x + r.offset, y + r.offset, r.size) == 0; });
}

void fillHostOwned(NRVMPRecord& record, int map) {
    auto* bytes = reinterpret_cast<unsigned char*>(&record);
    for (const OpaqueRange& r : kOpaqueRanges)
        for (std::size_t k = 0; k < r.size; ++k)
            bytes[r.offset + k] = static_cast<unsigned char>(0x80 | (map << 4) | ((r.offset + k) & 0x0F));
}

bool guardIntact(std::vector<char>::const_iterator begin, std::vector<char>::const_iterator end) {
    return std::all_of(begin, end, [](char c) { return static_cast<unsigned char>(c) == kGuard; });
}

std::optional<std::string> overrun(const Workspace& before, const Workspace& after) {
    for (std::size_t m = 0; m < before.maps.size() && m < after.maps.size(); ++m) {
        const std::vector<char>& storage = after.maps[m].nameStorage;
        const std::size_t capacity = before.mapNameCapacity;
        const std::string name =
            "the " + std::to_string(capacity) + " bytes of name storage of map index " + std::to_string(m);
        if (storage.size() != kGuardBytes + capacity + kGuardBytes || after.maps[m].nameOffset != kGuardBytes)
            return "changed " + name;
        if (!guardIntact(storage.begin(), storage.begin() + static_cast<std::ptrdiff_t>(kGuardBytes)))
            return "wrote in front of " + name;
        if (!guardIntact(storage.begin() + static_cast<std::ptrdiff_t>(kGuardBytes + capacity), storage.end()))
            return "wrote past " + name;
    }
    return std::nullopt;
}

}  // namespace

Workspace validVmrWorkspace() {
    Workspace workspace;
    workspace.description = "a valid VMR with maps";
    workspace.version = {2, 4, 0};
    workspace.documents.push_back({kelvane::kDocumentVMR, "check.vmr", std::nullopt, false});
    workspace.currentDocument = 0;
    for (int m = 0; m < kCheckMapCount; ++m) {
        VolumeMap map;
        NRVMPRecord& r = map.record;
        r.mapType = m == 3 ? 2 : kelvane::kTMapType;
        r.thresholdMin = 3.0f;
        r.thresholdMax = 8.0f;
        r.clusterSize = 50;
        r.degreesOfFreedom = 20 + 10 * m;
        r.showPosNeg = 3;
        r.transparency = 1.0f;
        fillHostOwned(r, m);
        map.setName("Check map " + std::to_string(m + 1), workspace.mapNameCapacity);
        map.nameStorage.insert(map.nameStorage.begin(), kGuardBytes, static_cast<char>(kGuard));
        map.nameStorage.resize(kGuardBytes + workspace.mapNameCapacity + kGuardBytes, static_cast<char>(kGuard));
        map.nameOffset = kGuardBytes;
        workspace.maps.push_back(std::move(map));
    }
    return workspace;
}

void applyDefaults(const std::optional<DialogScript>& dialog, Workspace& workspace) {
    if (dialog) applyDialogDefaults(*dialog, workspace);
}

std::optional<std::string> shownReason(const std::vector<HostEvent>& shown) {
    for (const HostEvent& event : shown)
        if (event.kind == HostEvent::Kind::Message) return "the message " + quotedExcerpt(event.text);
    if (!shown.empty()) return "the log line " + quotedExcerpt(shown.back().text);
    return std::nullopt;
}

std::optional<std::string> recordFault(const Workspace& before, const Workspace& after, const HostSession& session) {
    if (auto fault = overrun(before, after)) return fault;
    const bool mapsMoved = after.maps.size() != before.maps.size();
    for (const HostSession::RecordSet& set : session.recordsSet()) {
        const std::string map = "map index " + std::to_string(set.index);
        if (set.index < 0 || static_cast<std::size_t>(set.index) >= after.maps.size())
            return "set the record of " + map + ", which the host does not have (" + std::to_string(after.maps.size()) +
                   " maps)";
        const auto index = static_cast<std::size_t>(set.index);
        if (index >= before.maps.size()) continue;  // a map it created
        if (!sameHostOwnedBytes(set.record, before.maps[index].record)) {
            for (std::size_t other = 0; other < before.maps.size(); ++other)
                if (sameHostOwnedBytes(set.record, before.maps[other].record))
                    return "handed " + map + " the record of map index " + std::to_string(other);
            return "handed " + map + " a record whose host-owned bytes are not the map's own";
        }
        if (!mapsMoved && set.record.name != nullptr && set.record.name != after.maps[index].nameData())
            return "handed " + map + " a record whose name points at another map's storage";
    }
    return std::nullopt;
}

}  // namespace nimbrel::check
