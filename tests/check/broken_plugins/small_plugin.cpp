// A small plug-in of the family, built once sound and once with each fault
// that the conformance check must catch. The fault is chosen by defining one
// of:
//   SMALL_EXIT_IN_EXECUTE      execute ends the process
//   SMALL_WRITE_PAST_RECORD    execute writes 300 bytes into a map's 256-byte name storage
//   SMALL_FOREIGN_RECORD       execute hands each map the next map's record
//   SMALL_FOUR_SLOT_TABLE      the object is a C++ class with a plain virtual destructor,
//                              so a compiler's own table (two destructor slots) is what the host gets
//   SMALL_LEAK                 execute leaks 1 KiB on every call
//   SMALL_NULL_DESCRIPTOR      getPluginDescription returns null
//   SMALL_HANG                 initPlugin never returns once it has accepted
//   SMALL_CRASH_WITHOUT_DOCUMENT  initPlugin dereferences null when there is no current document
//   SMALL_UNCHECKED_HOST_CALL  execute calls the host's nbLogText through its bound entry,
//                              null when the host lacks it

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "host/host_contract.h"
#include "host/host_forwarders.h"
#include "host/host_function_table.h"
#include "host/nrvmp_record.h"
#include "plugin/export.h"

namespace {

using namespace kelvane;

constexpr std::size_t kLeakedBytes = 1024;
void* volatile lastLeak = nullptr;
int* volatile nowhere = nullptr;

bool refuse(const char* reason) {
    nbMessageBox(reason);
    return false;
}

bool startUp() {
    if (!bindHostFunctions()) return false;
    int32_t major = 0, minor = 0, release = 0;
    nbGetVersionOfNimbrel(&major, &minor, &release);
    if (major < 2 || (major == 2 && minor < 2)) return refuse("Small needs Nimbrel 2.2 or later.");
    const int32_t document = nbGetIDOfCurrentDocument();
#if defined(SMALL_CRASH_WITHOUT_DOCUMENT)
    if (document < 0) *nowhere = 1;
#endif
    if (document < 0) return refuse("Small needs a current document.");
    if (nbGetDocumentType(document) != kDocumentVMR) return refuse("Small needs a VMR.");
    NRVMPsHeader header{};
    if (nbGetNRVMPsOfCurrentVMR(&header) == nullptr) return refuse("Small needs maps.");
#if defined(SMALL_HANG)
    for (volatile bool waiting = true; waiting;) {
    }
#endif
    return true;
}

// Sets every map's lower threshold to the dialog's "Threshold".
bool run() {
    NRVMPsHeader header{};
    if (nbGetNRVMPsOfCurrentVMR(&header) == nullptr) return false;
    const float threshold = nbGetFloatParameter("Threshold");
    for (int32_t i = 0; i < header.mapCount; ++i) {
        NRVMPRecord record{};
        if (nbGetNRVMPOfCurrentVMR(i, &record) == nullptr) continue;
#if defined(SMALL_WRITE_PAST_RECORD)
        if (record.name != nullptr) std::memset(record.name, 'x', 300);
#endif
#if defined(SMALL_FOREIGN_RECORD)
        nbGetNRVMPOfCurrentVMR(i + 1, &record);
#endif
        record.thresholdMin = threshold;
        nbSetNRVMPParametersOfCurrentVMR(i, &record);
    }
#if defined(SMALL_EXIT_IN_EXECUTE)
    std::exit(3);
#endif
#if defined(SMALL_LEAK)
    lastLeak = std::malloc(kLeakedBytes);
#endif
#if defined(SMALL_UNCHECKED_HOST_CALL)
    hostFunctionTable().nbLogText("Small> done");
#else
    nbLogText("Small> done");
#endif
    return true;
}

#if defined(SMALL_FOUR_SLOT_TABLE)

class SmallPlugin {
public:
    virtual ~SmallPlugin() = default;
    virtual bool execute() { return run(); }
    virtual bool initPlugin() { return startUp(); }
};

#else

// The host's three slots: 0 destroy(flags), 1 execute, 2 initPlugin; an
// object is its table pointer.
struct SmallPlugin {
    const void* const* table;
};

void* destroySlot(SmallPlugin* plugin, uint32_t flags) {
    if (flags & 1) delete plugin;
    return plugin;
}
bool executeSlot(SmallPlugin*) {
    return run();
}
bool initPluginSlot(SmallPlugin*) {
    return startUp();
}

const void* const kTable[3] = {reinterpret_cast<const void*>(&destroySlot), reinterpret_cast<const void*>(&executeSlot),
                               reinterpret_cast<const void*>(&initPluginSlot)};

#endif

}  // namespace

KELVANE_C_EXPORT void* createPlugin() {
#if defined(SMALL_FOUR_SLOT_TABLE)
    return new (std::nothrow) SmallPlugin();
#else
    return new (std::nothrow) SmallPlugin{kTable};
#endif
}

KELVANE_C_EXPORT const char* getPluginName() {
    return "Small";
}
KELVANE_C_EXPORT const char* getPluginDescription() {
#if defined(SMALL_NULL_DESCRIPTOR)
    return nullptr;
#else
    return "Sets every map's lower threshold.";
#endif
}
KELVANE_C_EXPORT const char* getAuthor() {
    return "Kelvane tests";
}
KELVANE_C_EXPORT const char* getHelpFile() {
    return "help/small.html";
}
KELVANE_C_EXPORT const char* getPluginVersion() {
    return "0.1";
}
KELVANE_C_EXPORT const char* getGUIScript() {
    return "Small.js";
}
