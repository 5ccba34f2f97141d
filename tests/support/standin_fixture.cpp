#include "tests/support/standin_fixture.h"

#include <cstdlib>
#include <cstring>
#include <iostream>

namespace kelvane::testing {

const nimbrel::PluginModule& pluginModule() {
    static std::unique_ptr<nimbrel::PluginModule> module = [] {
        std::string error;
        auto loaded = nimbrel::PluginModule::load(KELVANE_MODULE_PATH, error);
        if (!loaded) {
            std::cerr << error << '\n';
            std::abort();
        }
        return loaded;
    }();
    return *module;
}

nimbrel::Workspace vmrWorkspace(int mapCount) {
    nimbrel::Workspace workspace;
    workspace.documents.push_back({3, "anatomy.vmr", {}, false});
    workspace.currentDocument = 0;
    for (int i = 0; i < mapCount; ++i) {
        nimbrel::VolumeMap map;
        map.record.mapType = 1;
        map.record.thresholdMin = 2.0f + static_cast<float>(i);
        map.record.thresholdMax = 8.0f;
        map.record.clusterSize = 4;
        map.record.useClusterSize = 0;
        map.record.degreesOfFreedom = 20;
        map.record.showPosNeg = 3;
        map.record.transparency = 1.0f;
        map.record.overlay = 0;
        unsigned char* bytes = reinterpret_cast<unsigned char*>(&map.record);
        for (const nimbrel::OpaqueRange& range : nimbrel::kOpaqueRanges)
            for (std::size_t k = 0; k < 4; ++k) bytes[range.offset + k] = static_cast<unsigned char>(0xA0 + 16 * i + k);
        map.setName("map " + std::to_string(i + 1), workspace.mapNameCapacity);
        workspace.maps.push_back(std::move(map));
    }
    return workspace;
}

nimbrel::Workspace documentsWorkspace(const std::vector<int32_t>& types) {
    nimbrel::Workspace workspace;
    for (int32_t type : types) workspace.documents.push_back({type, "document", {}, false});
    return workspace;
}

std::vector<std::string> eventLines(const nimbrel::HostSession& session) {
    std::vector<std::string> lines;
    for (const nimbrel::HostEvent& event : session.events())
        lines.push_back((event.kind == nimbrel::HostEvent::Kind::Log ? "log: " : "message: ") + event.text);
    return lines;
}

}  // namespace kelvane::testing
