#pragma once
// What the stand-in host does when a plug-in calls one of its functions.
// nimbrel::served holds the functions that work for real, each as its note in
// host/host_function_list.inc describes it and with the list's own signature;
// every other host function falls back to an answer of zero (or null) that the
// session traces.

#include <cstdint>
#include <string>

#include "host/nrvmp_record.h"

namespace nimbrel {

// Traces a call of a host function that the stand-in does not provide.
void traceUnprovided(const char* function);

namespace unprovided {
using kelvane::NRVMPRecord;
using kelvane::NRVMPsHeader;
#define KELVANE_HOST_FUNCTION(result, name, params) \
    inline result name params {                     \
        traceUnprovided(#name);                     \
        return {};                                  \
    }
#include "host/host_function_list.inc"
}  // namespace unprovided

namespace served {
// A name declared here hides the fallback of the same name.
using namespace unprovided;
using kelvane::NRVMPRecord;
using kelvane::NRVMPsHeader;

bool nbGetVersionOfNimbrel(int32_t* major, int32_t* minor, int32_t* release);
bool nbShowLogTab();
bool nbLogText(const char* text);
bool nbMessageBox(const char* text);
bool nbUpdateActiveWindow();
int32_t nbGetNumberOfDocsInWorkspace();
int32_t nbGetDocumentType(int32_t id);
const char* nbGetDocumentTypeName(int32_t id);
int32_t nbGetIDOfCurrentDocument();
void* nbGetNRVMPsOfCurrentVMR(NRVMPsHeader* header);
void* nbGetNRVMPOfCurrentVMR(int32_t index, NRVMPRecord* record);
bool nbSetNRVMPParametersOfCurrentVMR(int32_t index, NRVMPRecord* record);
int32_t nbCreateNRVMPsForCurrentVMR(int32_t count, int32_t a2, int32_t a3, void* a4);
bool nbGetStringParameter(const char* name, char* buffer);
int32_t nbGetIntParameter(const char* name);
float nbGetFloatParameter(const char* name);

}  // namespace served
}  // namespace nimbrel
