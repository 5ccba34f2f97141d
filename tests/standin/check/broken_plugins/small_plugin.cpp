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
//   SMALL_ACCEPT_WITHOUT_DOCUMENT  initPlugin accepts with no current document; execute then
//                              dereferences null
//   SMALL_WRITE_HOST_TEXT      initPlugin writes into the document type name the host hands out
//   SMALL_HEAP_OVERRUN         execute writes 514 bytes into a 512-byte heap block
//   SMALL_LATE_CRASH           execute leaves a thread that crashes 200 ms later
//   SMALL_CRASH_AT_EXIT        createPlugin registers an exit handler that crashes
//   SMALL_CHANGES_DIRECTORY    execute changes the process's working directory
//   SMALL_SLOW_EXECUTE         execute takes 1.5 s
//   SMALL_SAME_OBJECT          createPlugin hands out the same object every time
//   SMALL_CRASH_THIRD_EXECUTE  the third execute in a process dereferences null
//   SMALL_REFUSES_NO_MAPS      sound: initPlugin refuses, with a message, a maps header that
//                              counts no maps

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>

#if defined(_WIN32)
#include <windows.h>
#else
#include <pthread.h>
#include <unistd.h>
#endif

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

[[maybe_unused]] void pause(unsigned milliseconds) {
#if defined(_WIN32)
    Sleep(milliseconds);
#else
    usleep(milliseconds * 1000);
#endif
}

#if defined(SMALL_LATE_CRASH)
#if defined(_WIN32)
DWORD WINAPI crashLater(void*) {
    pause(200);
    *nowhere = 1;
    return 0;
}
void leaveThread() {
    CloseHandle(CreateThread(nullptr, 0, crashLater, nullptr, 0, nullptr));
}
#else
void* crashLater(void*) {
    pause(200);
    *nowhere = 1;
    return nullptr;
}
void leaveThread() {
    pthread_t thread;
    if (pthread_create(&thread, nullptr, crashLater, nullptr) == 0) pthread_detach(thread);
}
#endif
#endif

#if defined(SMALL_CRASH_AT_EXIT)
void crashAtExit() {
    *nowhere = 1;
}
#endif

bool startUp() {
    if (!bindHostFunctions()) return false;
    int32_t major = 0, minor = 0, release = 0;
    nbGetVersionOfNimbrel(&major, &minor, &release);
    if (major < 2 || (major == 2 && minor < 2)) return refuse("Small needs Nimbrel 2.2 or later.");
    const int32_t document = nbGetIDOfCurrentDocument();
#if defined(SMALL_CRASH_WITHOUT_DOCUMENT)
    if (document < 0) *nowhere = 1;
#endif
#if defined(SMALL_ACCEPT_WITHOUT_DOCUMENT)
    if (document < 0) return true;
#endif
    if (document < 0) return refuse("Small needs a current document.");
#if defined(SMALL_WRITE_HOST_TEXT)
    if (char* typeName = const_cast<char*>(nbGetDocumentTypeName(document))) typeName[0] = 'v';
#endif
    if (nbGetDocumentType(document) != kDocumentVMR) return refuse("Small needs a VMR.");
    NRVMPsHeader header{};
    if (nbGetNRVMPsOfCurrentVMR(&header) == nullptr) return refuse("Small needs maps.");
#if defined(SMALL_REFUSES_NO_MAPS)
    if (header.mapCount <= 0) return refuse("Small needs maps; the host counts none.");
#endif
#if defined(SMALL_HANG)
    for (volatile bool waiting = true; waiting;) {
    }
#endif
    return true;
}

// Sets every map's lower threshold to the dialog's "Threshold".
bool run() {
#if defined(SMALL_ACCEPT_WITHOUT_DOCUMENT)
    if (nbGetIDOfCurrentDocument() < 0) *nowhere = 1;
#endif
#if defined(SMALL_CRASH_THIRD_EXECUTE)
    static int executes = 0;
    if (++executes == 3) *nowhere = 1;
#endif
#if defined(SMALL_HEAP_OVERRUN)
    if (auto* volatile block = static_cast<char*>(std::malloc(512))) {
        for (int i = 0; i < 514; ++i) block[i] = 'x';
        std::free(block);
    }
#endif
#if defined(SMALL_LATE_CRASH)
    leaveThread();
#endif
#if defined(SMALL_CHANGES_DIRECTORY)
    std::filesystem::current_path(std::filesystem::temp_directory_path());
#endif
#if defined(SMALL_SLOW_EXECUTE)
    pause(1500);
#endif
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
#if defined(SMALL_CRASH_AT_EXIT)
    static const int registered = std::atexit(crashAtExit);
    (void)registered;
#endif
#if defined(SMALL_SAME_OBJECT)
    static SmallPlugin* const only = new (std::nothrow) SmallPlugin{kTable};
    return only;
#endif
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
