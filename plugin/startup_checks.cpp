#include "plugin/startup_checks.h"

#include <cstdint>

#include "host/host_contract.h"
#include "host/host_forwarders.h"
#include "host/host_function_table.h"
#include "host/host_version.h"
#include "host/nrvmp_record.h"

namespace kelvane {
namespace {

constexpr const char* kVersionTooOld = "Can not execute this plugin - Nimbrel version 2.2 or higher required.";
constexpr const char* kNoCurrentDocument = "No current document available.";
constexpr const char* kNotAVMR = "The currently active document is not a VMR document.";
constexpr const char* kNoMapsLoaded = "No VMPs are currently loaded.";

bool refuse(const char* message) {
    nbMessageBox(message);
    return false;
}

}  // namespace

bool runStartupChecks() {
    if (!bindHostFunctions()) return false;

    int32_t major = 0, minor = 0, release = 0;
    nbGetVersionOfNimbrel(&major, &minor, &release);
    if (!versionAtLeast(major, minor, release, kRequiredHostMajor, kRequiredHostMinor, kRequiredHostRelease))
        return refuse(kVersionTooOld);

    nbShowLogTab();
    nbLogText(" ");
    nbLogText("Kelvane>  Running Kelvane Plugin...");
    nbLogText("Kelvane>");

    int32_t currentDocument = nbGetIDOfCurrentDocument();
    if (currentDocument < 0) return refuse(kNoCurrentDocument);
    if (nbGetDocumentType(currentDocument) != kDocumentVMR) return refuse(kNotAVMR);

    NRVMPsHeader header;
    if (nbGetNRVMPsOfCurrentVMR(&header) == nullptr) return refuse(kNoMapsLoaded);
    return true;
}

}  // namespace kelvane
