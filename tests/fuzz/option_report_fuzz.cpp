// The option report, through this program as the host and the real plug-in
// module bound to it by name: any seventeen parameter values (absent ones, NaN,
// infinities, extreme integers, lists of up to 511 characters and longer ones,
// a host that leaves the list unterminated) over a few maps of any record
// bytes. The report is the two-line one when no option is chosen, and
// otherwise starts and ends with "Kelvane>  -----" around exactly the lines
// the chosen options call for; the run ends as it should; every record handed
// back is its own map's, changed only in the chosen fields.

#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "host/host_contract.h"
#include "host/nrvmp_record.h"
#include "standin/host/host_session.h"
#include "standin/host/workspace.h"
#include "standin/plugin/plugin_runner.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/support/standin_fixture.h"

namespace kelvane::fuzz {
namespace {

using nimbrel::Parameter;
using Lines = std::vector<std::string>;

constexpr const char* kTarget = "option_report";
const std::string kRule = "Kelvane>  -----";

// Values as the plug-in receives them: an absent parameter reads as zero.
struct Values {
    int32_t doSetMin = 0, doSetMinP = 0, doSetMax = 0, doClusterSize = 0, clusterSize = 0, doUseClusterSize = 0,
            useCluster = 0, doShowPosNegBoth = 0, pnb = 0, doTransparancy = 0, doOverlayMaps = 0, useExactT = 0;
    float min = 0, minP = 0, max = 0, trans = 0;
    std::string overlay;  // as the plug-in sees it
};

int32_t integerParameter(FuzzInput& in, nimbrel::Workspace& w, const char* name) {
    int32_t value = 0;
    switch (in.byte() % 10) {
        case 0:
            return 0;  // never set
        case 1:
            value = 0;
            break;
        case 2:
            value = 1;
            break;
        case 3:
            value = -1;
            break;
        case 4:
            value = 2;
            break;
        case 5:
            value = INT32_MAX;
            break;
        case 6:
            value = INT32_MIN;
            break;
        case 7:
            value = in.byte();
            break;
        default:
            value = in.i32();
            break;
    }
    w.parameters[name] = Parameter::ofInteger(value);
    return value;
}

float floatParameter(FuzzInput& in, nimbrel::Workspace& w, const char* name) {
    float value = 0;
    switch (in.byte() % 12) {
        case 0:
            return 0.0f;  // never set
        case 1:
            value = 0.0f;
            break;
        case 2:
            value = std::numeric_limits<float>::quiet_NaN();
            break;
        case 3:
            value = std::numeric_limits<float>::infinity();
            break;
        case 4:
            value = -std::numeric_limits<float>::infinity();
            break;
        case 5:
            value = FLT_MAX;
            break;
        case 6:
            value = -FLT_MAX;
            break;
        case 7:
            value = std::numeric_limits<float>::denorm_min();
            break;
        case 8:
            value = -0.0f;
            break;
        case 9:
            value = static_cast<float>(in.byte()) / 256.0f;
            break;
        default:
            value = in.f32();
            break;
    }
    w.parameters[name] = Parameter::ofFloat(value);
    return value;
}

// The "Overlay" text the plug-in reads: the host's first 511 characters up to a
// zero, or with an unterminated host the 511 characters it filled.
std::string overlayParameter(FuzzInput& in, nimbrel::Workspace& w) {
    std::string text;
    switch (in.byte() % 4) {
        case 0:
            break;  // never set
        case 1:
            text = "All";
            w.parameters["Overlay"] = Parameter::ofText(text);
            break;
        default:
            text = in.text(600);
            w.parameters["Overlay"] = Parameter::ofText(text);
            break;
    }
    if (w.hostile.unterminatedStrings) {
        std::string filled(kStringParameterSize - 1, 'x');
        for (std::size_t i = 0; i < filled.size() && i < text.size(); ++i)
            if (text[i] != '\0') filled[i] = text[i];
        return filled;
    }
    text.resize(std::min<std::size_t>(text.size(), kStringParameterSize - 1));
    text.resize(std::strlen(text.c_str()));
    return text;
}

std::string format(const char* format, double value) {
    char text[128];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

bool anyChosen(const Values& v) {
    return v.doSetMin || v.doSetMax || v.doClusterSize || v.doUseClusterSize || v.doShowPosNegBoth ||
           v.doTransparancy || v.doOverlayMaps;
}

// The lines between the two rules.
Lines reportLines(const Values& v) {
    Lines lines;
    if (v.doSetMin && !v.doSetMinP) lines.push_back(format("Kelvane>  Set Min to %3.2f", v.min));
    if (v.doSetMin && v.doSetMinP) lines.push_back(format("Kelvane>  Set Min P to %1.4f", v.minP));
    if (v.doSetMin && v.doSetMinP && v.useExactT) lines.push_back("Kelvane>  Use the exact t for Min P");
    if (v.doSetMax) lines.push_back(format("Kelvane>  Set Max to %3.2f", v.max));
    if (v.doClusterSize) lines.push_back("Kelvane>  Set Cluster Size to " + std::to_string(v.clusterSize));
    if (v.doUseClusterSize)
        lines.push_back(std::string("Kelvane>  DO") + (v.useCluster ? "" : " NOT") + " use the cluster size threshold");
    if (v.doShowPosNegBoth)
        lines.push_back(std::string("Kelvane>  Show ") + (v.pnb == 0   ? "Positive"
                                                          : v.pnb == 1 ? "Negative"
                                                                       : "Both (pos and neg)"));
    if (v.doTransparancy) lines.push_back(format("Kelvane>  Transparancy Factor %1.2f", v.trans));
    if (v.doOverlayMaps) lines.push_back("Kelvane>  Overlay the following maps: " + v.overlay);
    return lines;
}

bool isPerMapLine(const std::string& line) {
    for (const char* start : {"Kelvane>  Setting parameters for map ", "Kelvane>  Map "})
        if (line.rfind(start, 0) == 0) return true;
    return false;
}

using Bytes = std::vector<unsigned char>;

Bytes bytesOf(const NRVMPRecord& record) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&record);
    return Bytes(bytes, bytes + sizeof record);
}

template <typename Field>
void clear(Bytes& bytes, std::size_t offset, const Field&) {
    std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
              bytes.begin() + static_cast<std::ptrdiff_t>(offset + sizeof(Field)), 0);
}

// A record's bytes without those the plug-in may have set (and without the
// name pointer, which the stand-in keeps apart).
Bytes unchosenBytes(const NRVMPRecord& record, const Values& v, bool overlayMayChange) {
    Bytes bytes = bytesOf(record);
    clear(bytes, offsetof(NRVMPRecord, name), record.name);
    if (v.doSetMin) clear(bytes, offsetof(NRVMPRecord, thresholdMin), record.thresholdMin);
    if (v.doSetMax) clear(bytes, offsetof(NRVMPRecord, thresholdMax), record.thresholdMax);
    if (v.doClusterSize) clear(bytes, offsetof(NRVMPRecord, clusterSize), record.clusterSize);
    if (v.doUseClusterSize) clear(bytes, offsetof(NRVMPRecord, useClusterSize), record.useClusterSize);
    if (v.doShowPosNegBoth) clear(bytes, offsetof(NRVMPRecord, showPosNeg), record.showPosNeg);
    if (v.doTransparancy) clear(bytes, offsetof(NRVMPRecord, transparency), record.transparency);
    if (overlayMayChange) clear(bytes, offsetof(NRVMPRecord, overlay), record.overlay);
    return bytes;
}

template <typename T>
bool sameBits(const T& a, const T& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace
}  // namespace kelvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace kelvane;
    using namespace kelvane::fuzz;
    FuzzInput in(data, size);

    nimbrel::Workspace workspace;
    workspace.documents.push_back({kDocumentVMR, "anatomy.vmr", {}, false});
    workspace.currentDocument = 0;
    const uint8_t hostile = in.byte();
    workspace.hostile.unterminatedStrings = hostile & 1;
    const std::size_t mapCount = 1 + (hostile >> 1) % 4;
    for (std::size_t m = 0; m < mapCount; ++m) {
        nimbrel::VolumeMap map;
        auto* bytes = reinterpret_cast<unsigned char*>(&map.record);
        for (std::size_t b = 0; b < sizeof map.record; ++b) bytes[b] = in.byte();
        map.record.name = nullptr;
        const uint8_t kind = in.byte();
        if (kind & 1) map.record.mapType = kTMapType;
        if (kind & 2) map.record.degreesOfFreedom = 1 + kind % 64;
        if (kind & 4) map.record.overlay = (kind >> 3) & 1;
        map.setName("map " + std::to_string(m + 1), workspace.mapNameCapacity);
        workspace.maps.push_back(std::move(map));
    }

    Values v;
    v.doSetMin = integerParameter(in, workspace, "DoSetMin");
    v.min = floatParameter(in, workspace, "Min");
    v.doSetMinP = integerParameter(in, workspace, "DoSetMinP");
    v.minP = floatParameter(in, workspace, "MinP");
    v.doSetMax = integerParameter(in, workspace, "DoSetMax");
    v.max = floatParameter(in, workspace, "Max");
    v.doClusterSize = integerParameter(in, workspace, "DoClusterSize");
    v.clusterSize = integerParameter(in, workspace, "ClusterSize");
    v.doUseClusterSize = integerParameter(in, workspace, "DoUseClusterSize");
    v.useCluster = integerParameter(in, workspace, "UseCluster");
    v.doShowPosNegBoth = integerParameter(in, workspace, "DoShowPosNegBoth");
    v.pnb = integerParameter(in, workspace, "PNB");
    v.doTransparancy = integerParameter(in, workspace, "DoTransparancy");
    v.trans = floatParameter(in, workspace, "Trans");
    v.doOverlayMaps = integerParameter(in, workspace, "DoOverlayMaps");
    v.overlay = overlayParameter(in, workspace);
    v.useExactT = integerParameter(in, workspace, "UseExactT");

    const nimbrel::Workspace before = workspace;
    nimbrel::HostSession session(workspace);
    const nimbrel::RunOutcome outcome = nimbrel::runPlugin(testing::pluginModule(), session);
    KELVANE_FUZZ_CHECK(kTarget, outcome.created && outcome.initialised, "the plug-in starts on a VMR with maps");

    const Lines log = session.logLines();
    KELVANE_FUZZ_CHECK(kTarget, log.size() >= 6, "opening lines, report and the destructor's line");
    KELVANE_FUZZ_CHECK(kTarget, log.back() == " ", "the destructor's line comes last");
    const Lines lines(log.begin() + 3, log.end() - 1);  // what execute wrote
    KELVANE_FUZZ_CHECK(kTarget, lines.front() == kRule, "the report starts with the rule");

    if (!anyChosen(v)) {
        KELVANE_FUZZ_CHECK(kTarget, (lines == Lines{kRule, "Kelvane>  No options selected"}),
                           "the two-line report when no option is chosen");
        KELVANE_FUZZ_CHECK(kTarget, outcome.executed == false, "execute answers false");
        KELVANE_FUZZ_CHECK(kTarget, session.recordsSet().empty(), "no map is touched");
        return 0;
    }

    const Lines report = reportLines(v);
    KELVANE_FUZZ_CHECK(kTarget, lines.size() >= report.size() + 4, "the report, then the closing lines");
    KELVANE_FUZZ_CHECK(kTarget,
                       Lines(lines.begin() + 1, lines.begin() + 1 + static_cast<long>(report.size())) == report,
                       "exactly the lines the chosen options call for");
    KELVANE_FUZZ_CHECK(kTarget, lines[report.size() + 1] == kRule, "the report ends with the rule");
    const std::size_t tail = lines.size() - 2;
    for (std::size_t i = report.size() + 2; i < tail; ++i) {
        // Overlay list messages come first, then one or two lines per map.
        KELVANE_FUZZ_CHECK(kTarget,
                           isPerMapLine(lines[i]) || lines[i] == "Kelvane>  No Map numbers detected" ||
                               lines[i].find(" is not a correctly specified range") != std::string::npos,
                           "only selection and per-map lines after the report: " + lines[i]);
    }
    KELVANE_FUZZ_CHECK(
        kTarget,
        (Lines(lines.begin() + static_cast<long>(tail), lines.end()) == Lines{"Kelvane>", "Kelvane>  Finished!"}),
        "the closing lines");
    KELVANE_FUZZ_CHECK(kTarget, outcome.executed == true, "execute answers true");

    for (const auto& set : session.recordsSet()) {
        KELVANE_FUZZ_CHECK(kTarget, set.index >= 0 && static_cast<std::size_t>(set.index) < mapCount,
                           "only the host's maps are set");
        const nimbrel::VolumeMap& original = before.maps[static_cast<std::size_t>(set.index)];
        KELVANE_FUZZ_CHECK(kTarget,
                           set.record.name == workspace.maps[static_cast<std::size_t>(set.index)].nameStorage.data(),
                           "the name pointer goes back as the host gave it");
        KELVANE_FUZZ_CHECK(kTarget, unchosenBytes(set.record, v, true) == unchosenBytes(original.record, v, true),
                           "a map gets back its own record, changed only in the chosen fields");
    }
    for (std::size_t m = 0; m < mapCount; ++m) {
        const NRVMPRecord& after = workspace.maps[m].record;
        const NRVMPRecord& was = before.maps[m].record;
        KELVANE_FUZZ_CHECK(kTarget, unchosenBytes(after, v, v.doOverlayMaps) == unchosenBytes(was, v, v.doOverlayMaps),
                           "every byte the plug-in does not own is untouched");
        if (v.doSetMin && !v.doSetMinP) KELVANE_FUZZ_CHECK(kTarget, sameBits(after.thresholdMin, v.min), "Min as read");
        if (v.doSetMax) KELVANE_FUZZ_CHECK(kTarget, sameBits(after.thresholdMax, v.max), "Max as read");
        if (v.doClusterSize) KELVANE_FUZZ_CHECK(kTarget, after.clusterSize == v.clusterSize, "ClusterSize as read");
        if (v.doUseClusterSize)
            KELVANE_FUZZ_CHECK(kTarget, after.useClusterSize == (v.useCluster ? 1 : 0), "UseCluster as 0 or 1");
        if (v.doShowPosNegBoth)
            KELVANE_FUZZ_CHECK(kTarget, after.showPosNeg == static_cast<int32_t>(static_cast<uint32_t>(v.pnb) + 1u),
                               "PNB plus one");
        if (v.doTransparancy) KELVANE_FUZZ_CHECK(kTarget, sameBits(after.transparency, v.trans), "Trans as read");
        if (v.doOverlayMaps) KELVANE_FUZZ_CHECK(kTarget, after.overlay == 0 || after.overlay == 1, "overlay 0 or 1");
    }
    return 0;
}
