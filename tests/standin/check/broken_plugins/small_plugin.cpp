// A small plug-in of the family, built once: sound, or with the one fault
// that the environment variable SMALL_PLUGIN_MODE names, which the check must
// catch (the check's processes inherit it, under Wine too). Unset, or any
// name not listed, is the sound plug-in.

#include <atomic>
#include <chrono>
#include <cfenv>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "host/host_contract.h"
#include "host/host_forwarders.h"
#include "host/host_function_table.h"
#include "host/nrvmp_record.h"
#include "plugin/export.h"

namespace {

using namespace kelvane;

// Each mode, and what the plug-in does in it.
#define SMALL_PLUGIN_MODES(MODE)                                                                                    \
    MODE(EXIT_IN_EXECUTE)          /* execute ends the process */                                                   \
    MODE(WRITE_PAST_RECORD)        /* execute writes 300 bytes into a map's 256-byte name storage */                \
    MODE(WRITE_BEFORE_NAME)        /* execute writes the byte in front of a map's name */                           \
    MODE(FOREIGN_RECORD)           /* execute hands each map the next map's record */                               \
    MODE(FOUR_SLOT_TABLE)          /* the object is a C++ class with a plain virtual destructor, so a compiler's    \
                                      own table (two destructor slots) is what the host gets */                     \
    MODE(LEAK)                     /* execute leaks 1 KiB on every call */                                          \
    MODE(DESCRIPTOR_LEAK)          /* execute opens a descriptor (handle) on every call, never closed */            \
    MODE(NULL_DESCRIPTOR)          /* getPluginDescription returns null */                                          \
    MODE(HANG)                     /* initPlugin never returns once it has accepted */                              \
    MODE(CRASH_WITHOUT_DOCUMENT)   /* initPlugin dereferences null when there is no current document */             \
    MODE(UNCHECKED_HOST_CALL)      /* execute calls nbLogText through its bound entry, null in a host without it */ \
    MODE(ACCEPT_WITHOUT_DOCUMENT)  /* initPlugin accepts with no current document; execute dereferences null */     \
    MODE(WRITE_HOST_TEXT)          /* initPlugin writes into the document type name the host hands out */           \
    MODE(STALE_HOST_TEXT)          /* initPlugin reads the document type name after its next host call */           \
    MODE(HEAP_OVERRUN)             /* execute writes 514 bytes into a 512-byte heap block */                        \
    MODE(SMALL_BUFFER)             /* execute hands the host an 8-byte heap block for the 400-byte maps header */   \
    MODE(LATE_CRASH)               /* execute leaves a thread that crashes 50 ms later */                           \
    MODE(BUSY_THREAD)              /* execute leaves a thread that keeps using the CPU */                           \
    MODE(WORKER_HOST_CALL)         /* execute calls nbLogText from a worker thread it joins */                      \
    MODE(HOST_CALL_AFTER_RETURN)   /* execute leaves a thread that calls nbLogText 50 ms later */                   \
    MODE(CHILD_LEFT_RUNNING)       /* execute starts a child process and leaves it running (not on Windows) */      \
    MODE(CRASH_AT_EXIT)            /* createPlugin registers an exit handler that crashes */                        \
    MODE(HOST_CALL_AT_EXIT)        /* initPlugin registers an exit handler that calls nbLogText */                  \
    MODE(NULL_TEXT)                /* execute logs a null text */                                                   \
    MODE(READ_HOST_POINTER)        /* execute reads through the pointer nbGetNRVMPsOfCurrentVMR answers */          \
    MODE(CHANGES_DIRECTORY)        /* execute changes the process's working directory */                            \
    MODE(UMASK)                    /* execute changes the umask (not on Windows) */                                 \
    MODE(RESOURCE_LIMIT)           /* execute lowers the open-file limit (not on Windows) */                        \
    MODE(SIGNAL_MASK)              /* execute blocks SIGINT and SIGTERM on the host's thread (not on Windows) */    \
    MODE(SLOW_EXECUTE)             /* execute takes 1.5 s */                                                        \
    MODE(SAME_OBJECT)              /* createPlugin hands out the same object every time */                          \
    MODE(CRASH_THIRD_EXECUTE)      /* the third execute in a process dereferences null */                           \
    MODE(UNDECLARED_PARAMETER)     /* execute reads "Treshold", which the dialog does not declare */                \
    MODE(WRONG_GETTER)             /* execute reads the float "Threshold" with nbGetIntParameter */                 \
    MODE(UNREAD_PARAMETER)         /* execute never reads "Threshold" */                                            \
    MODE(LOAD_CHANGES_ROUNDING)    /* loading the module sets the rounding toward zero */                           \
    MODE(MISSING_SCRIPT)           /* getGUIScript names a dialog script that is not there */                       \
    MODE(CRASH_OLD_HOST)           /* initPlugin crashes where it should refuse an old host */                      \
    MODE(CRASH_NOT_VMR)            /* initPlugin crashes where it should refuse a document that is no VMR */        \
    MODE(CRASH_NO_MAPS)            /* initPlugin reads the maps header through a null answer */                     \
    MODE(CRASH_NULL_RECORD)        /* execute reads a record through a null answer */                               \
    MODE(MAP_COUNT_UNCHECKED)      /* execute sizes a table by the map count, -1 too */                             \
    MODE(UNTERMINATED_TEXT)        /* execute measures "Label" with strlen in a 512-byte heap block */              \
    MODE(DIVIDES_BY_THRESHOLD)     /* execute divides by the threshold as an integer, 0 too */                      \
    MODE(NAN_THROWS)               /* execute lets out the exception a helper throws for a NaN threshold */         \
    MODE(MEASURES_MAP_NAMES)       /* execute measures each map's name without testing the pointer */               \
    MODE(USES_FAILED_MAP)          /* execute creates a map and sets it without testing that it was added */        \
    MODE(DOCUMENT_COUNT_UNCHECKED) /* execute sizes a table by the document count, -1 too */                        \
    MODE(LEAK_AFTER_50)            /* execute leaks 1 KiB on every call after the 50th in a process */              \
    /* Sound, each in its own way: */                                                                               \
    MODE(REFUSES_NO_MAPS)  /* initPlugin refuses, with a message, a maps header that counts no maps */              \
    MODE(OPENMP)           /* execute works out the thresholds in an OpenMP loop (where built with it) */           \
    MODE(JOINED_THREADS)   /* execute works out the thresholds in four threads it joins */                          \
    MODE(CACHE_BUILT_ONCE) /* the first execute builds a table it keeps for the module's life */                    \
    MODE(LOCALE_PUT_BACK)  /* execute switches the locale and puts it back */

enum class Mode {
    SOUND,
#define SMALL_PLUGIN_MODE_ENUM(name) name,
    SMALL_PLUGIN_MODES(SMALL_PLUGIN_MODE_ENUM)
};

Mode mode() {
    static const Mode chosen = [] {
        const char* wanted = std::getenv("SMALL_PLUGIN_MODE");
#define SMALL_PLUGIN_MODE_NAMED(name) \
    if (wanted != nullptr && std::strcmp(wanted, #name) == 0) return Mode::name;
        SMALL_PLUGIN_MODES(SMALL_PLUGIN_MODE_NAMED)
        return Mode::SOUND;
    }();
    return chosen;
}

bool in(Mode wanted) {
    return mode() == wanted;
}

// What loading the module does: a module built with a fast-math flag sets the
// floating-point control as it is loaded, this one the rounding.
[[maybe_unused]] const bool loaded = [] {
    if (in(Mode::LOAD_CHANGES_ROUNDING)) std::fesetround(FE_TOWARDZERO);
    return true;
}();

constexpr std::size_t kLeakedBytes = 1024;
void* volatile lastLeak = nullptr;
int* volatile nowhere = nullptr;
std::atomic<bool> spinning{true};

bool refuse(const char* reason) {
    nbMessageBox(reason);
    return false;
}

void sleepFor(unsigned milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void crashAtExit() {
    *nowhere = 1;
}

void logAtExit() {
    nbLogText("Small> exiting");
}

// The ways to hold a process-wide setting or resource that a host shares.
void changeWhatTheProcessShares() {
#if !defined(_WIN32)
    if (in(Mode::UMASK) && umask(0) == 0) umask(077);
    if (in(Mode::RESOURCE_LIMIT)) {
        struct rlimit limit {};
        getrlimit(RLIMIT_NOFILE, &limit);
        limit.rlim_cur = limit.rlim_cur > 64 ? 64 : limit.rlim_cur / 2;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
    if (in(Mode::SIGNAL_MASK)) {
        sigset_t blocked;
        sigemptyset(&blocked);
        sigaddset(&blocked, SIGINT);
        sigaddset(&blocked, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &blocked, nullptr);
    }
    if (in(Mode::DESCRIPTOR_LEAK)) (void)open("/dev/null", O_RDONLY);
    if (in(Mode::CHILD_LEFT_RUNNING) && fork() == 0) {
        // The child: it ends with the process that started it.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        prctl(PR_SET_NAME, "small-child");
        for (;;) ::pause();
    }
#else
    if (in(Mode::DESCRIPTOR_LEAK))
        CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
#endif
    if (in(Mode::CHANGES_DIRECTORY)) std::filesystem::current_path(std::filesystem::temp_directory_path());
    if (in(Mode::LOCALE_PUT_BACK)) {
        const std::string before = std::setlocale(LC_ALL, nullptr);
        if (std::setlocale(LC_ALL, "C.UTF-8") == nullptr) std::setlocale(LC_ALL, "");
        std::setlocale(LC_ALL, before.c_str());
    }
}

// The threads execute may leave behind, each detached.
void leaveThreads() {
    if (in(Mode::LATE_CRASH))
        std::thread([] {
            sleepFor(50);
            *nowhere = 1;
        }).detach();
    if (in(Mode::BUSY_THREAD))
        std::thread([] {
            for (volatile unsigned long turns = 0; spinning.load(std::memory_order_relaxed);) turns = turns + 1;
        }).detach();
    if (in(Mode::HOST_CALL_AFTER_RETURN))
        std::thread([] {
            sleepFor(50);
            nbLogText("Small> late");
        }).detach();
    if (in(Mode::WORKER_HOST_CALL)) std::thread([] { nbLogText("Small> from a worker"); }).join();
}

// Each map's new lower threshold: the dialog's, worked out in the way the mode says.
void workOutThresholds(std::vector<NRVMPRecord>& records, float threshold) {
    if (in(Mode::CACHE_BUILT_ONCE)) {
        static const std::vector<float>* const table = new std::vector<float>(4096, 1.0f);
        threshold *= (*table)[records.size() % table->size()];
    }
    if (in(Mode::OPENMP)) {
        const auto count = static_cast<std::int64_t>(records.size());
#if defined(_OPENMP)
#pragma omp parallel for num_threads(4)
#endif
        for (std::int64_t i = 0; i < count; ++i) records[static_cast<std::size_t>(i)].thresholdMin = threshold;
        return;
    }
    if (in(Mode::JOINED_THREADS)) {
        std::vector<std::thread> workers;
        for (std::size_t part = 0; part < 4; ++part)
            workers.emplace_back([&records, threshold, part] {
                std::vector<std::size_t> mine;
                for (std::size_t i = part; i < records.size(); i += 4) mine.push_back(i);
                for (std::size_t i : mine) records[i].thresholdMin = threshold;
            });
        for (std::thread& worker : workers) worker.join();
        return;
    }
    for (NRVMPRecord& record : records) record.thresholdMin = threshold;
}

bool startUp() {
    if (!bindHostFunctions()) return false;
    int32_t major = 0, minor = 0, release = 0;
    nbGetVersionOfNimbrel(&major, &minor, &release);
    if (major < 2 || (major == 2 && minor < 2)) {
        if (in(Mode::CRASH_OLD_HOST)) *nowhere = 1;
        return refuse("Small needs Nimbrel 2.2 or later.");
    }
    const int32_t document = nbGetIDOfCurrentDocument();
    if (in(Mode::CRASH_WITHOUT_DOCUMENT) && document < 0) *nowhere = 1;
    if (in(Mode::ACCEPT_WITHOUT_DOCUMENT) && document < 0) return true;
    if (document < 0) return refuse("Small needs a current document.");
    const char* typeName =
        in(Mode::WRITE_HOST_TEXT) || in(Mode::STALE_HOST_TEXT) ? nbGetDocumentTypeName(document) : nullptr;
    if (in(Mode::WRITE_HOST_TEXT) && typeName != nullptr) const_cast<char*>(typeName)[0] = 'v';
    if (nbGetDocumentType(document) != kDocumentVMR) {
        if (in(Mode::CRASH_NOT_VMR)) *nowhere = 1;
        return refuse("Small needs a VMR.");
    }
    if (in(Mode::STALE_HOST_TEXT) && typeName != nullptr && typeName[0] == '\0') return refuse("Small needs a name.");
    NRVMPsHeader header{};
    if (nbGetNRVMPsOfCurrentVMR(&header) == nullptr) {
        if (in(Mode::CRASH_NO_MAPS)) *nowhere = header.mapCount;
        return refuse("Small needs maps.");
    }
    if (in(Mode::REFUSES_NO_MAPS) && header.mapCount <= 0) return refuse("Small needs maps; the host counts none.");
    if (in(Mode::HOST_CALL_AT_EXIT)) {
        static const int registered = std::atexit(logAtExit);
        (void)registered;
    }
    if (in(Mode::HANG))
        for (volatile bool waiting = true; waiting;) {
        }
    return true;
}

// The faults that come of trusting what the host hands over.
void trustTheHost(const NRVMPsHeader& header, float threshold) {
    volatile std::size_t sized = 0;
    if (in(Mode::MAP_COUNT_UNCHECKED)) sized = std::vector<float>(static_cast<std::size_t>(header.mapCount)).size();
    if (in(Mode::DOCUMENT_COUNT_UNCHECKED))
        sized = std::vector<int32_t>(static_cast<std::size_t>(nbGetNumberOfDocsInWorkspace())).size();
    (void)sized;
    if (in(Mode::DIVIDES_BY_THRESHOLD)) {
        volatile int divisor = static_cast<int>(threshold);
        volatile int steps = 100 / divisor;
        (void)steps;
    }
    if (in(Mode::NAN_THROWS) && std::isnan(threshold)) throw std::domain_error("Small: the threshold is not a number");
    if (in(Mode::USES_FAILED_MAP)) {
        NRVMPRecord fresh{};
        NRVMPRecord* made = nbCreateNRVMPsForCurrentVMR(1, 0, 0, nullptr) != 0 ? &fresh : nullptr;
        made->thresholdMin = threshold;
    }
    if (in(Mode::LEAK_AFTER_50)) {
        static int executes = 0;
        if (++executes > 50) lastLeak = std::malloc(kLeakedBytes);
    }
}

// The dialog's "Label", read into a 512-byte heap block: measured within it,
// or (UNTERMINATED_TEXT) with strlen, as if the host always ended it.
void readLabel() {
    char* label = static_cast<char*>(std::malloc(kelvane::kStringParameterSize));
    if (label == nullptr) return;
    nbGetStringParameter("Label", label);
    volatile bool ended = in(Mode::UNTERMINATED_TEXT)
                              ? std::strlen(label) < kelvane::kStringParameterSize
                              : std::memchr(label, '\0', kelvane::kStringParameterSize) != nullptr;
    (void)ended;
    std::free(label);
}

// Sets every map's lower threshold to the dialog's "Threshold".
bool run() {
    if (in(Mode::ACCEPT_WITHOUT_DOCUMENT) && nbGetIDOfCurrentDocument() < 0) *nowhere = 1;
    if (in(Mode::CRASH_THIRD_EXECUTE)) {
        static int executes = 0;
        if (++executes == 3) *nowhere = 1;
    }
    if (in(Mode::HEAP_OVERRUN))
        if (auto* volatile block = static_cast<char*>(std::malloc(512))) {
            for (int i = 0; i < 514; ++i) block[i] = 'x';
            std::free(block);
        }
    leaveThreads();
    changeWhatTheProcessShares();
    if (in(Mode::SLOW_EXECUTE)) sleepFor(1500);
    if (in(Mode::SMALL_BUFFER))
        if (void* block = std::malloc(8)) {
            nbGetNRVMPsOfCurrentVMR(static_cast<NRVMPsHeader*>(block));
            std::free(block);
        }
    NRVMPsHeader header{};
    const void* maps = nbGetNRVMPsOfCurrentVMR(&header);
    if (maps == nullptr) return false;
    if (in(Mode::READ_HOST_POINTER) && *static_cast<const volatile int*>(maps) < 0) return false;
    if (in(Mode::NULL_TEXT)) nbLogText(nullptr);
    const float threshold = in(Mode::UNDECLARED_PARAMETER) ? nbGetFloatParameter("Treshold")
                            : in(Mode::WRONG_GETTER)       ? static_cast<float>(nbGetIntParameter("Threshold"))
                            : in(Mode::UNREAD_PARAMETER)   ? 2.5f
                                                           : nbGetFloatParameter("Threshold");
    readLabel();
    trustTheHost(header, threshold);
    std::vector<NRVMPRecord> records;
    std::vector<int32_t> indices;
    for (int32_t i = 0; i < header.mapCount; ++i) {
        NRVMPRecord record{};
        if (nbGetNRVMPOfCurrentVMR(i, &record) == nullptr) {
            if (in(Mode::CRASH_NULL_RECORD)) *nowhere = i;
            continue;
        }
        if (in(Mode::MEASURES_MAP_NAMES)) {
            volatile std::size_t length = std::strlen(record.name);
            (void)length;
        }
        if (in(Mode::WRITE_PAST_RECORD) && record.name != nullptr) std::memset(record.name, 'x', 300);
        if (in(Mode::WRITE_BEFORE_NAME) && record.name != nullptr) record.name[-1] = 'x';
        if (in(Mode::FOREIGN_RECORD)) nbGetNRVMPOfCurrentVMR(i + 1, &record);
        records.push_back(record);
        indices.push_back(i);
    }
    workOutThresholds(records, threshold);
    for (std::size_t k = 0; k < records.size(); ++k) nbSetNRVMPParametersOfCurrentVMR(indices[k], &records[k]);
    if (in(Mode::EXIT_IN_EXECUTE)) std::exit(3);
    if (in(Mode::LEAK)) lastLeak = std::malloc(kLeakedBytes);
    if (in(Mode::UNCHECKED_HOST_CALL))
        hostFunctionTable().nbLogText("Small> done");
    else
        nbLogText("Small> done");
    return true;
}

// A compiler's own table: slot 0 and 1 are its two destructors.
class FourSlotPlugin {
public:
    virtual ~FourSlotPlugin() = default;
    virtual bool execute() { return run(); }
    virtual bool initPlugin() { return startUp(); }
};

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

}  // namespace

KELVANE_C_EXPORT void* createPlugin() {
    if (in(Mode::CRASH_AT_EXIT)) {
        static const int registered = std::atexit(crashAtExit);
        (void)registered;
    }
    if (in(Mode::SAME_OBJECT)) {
        static SmallPlugin* const only = new (std::nothrow) SmallPlugin{kTable};
        return only;
    }
    if (in(Mode::FOUR_SLOT_TABLE)) return new (std::nothrow) FourSlotPlugin();
    return new (std::nothrow) SmallPlugin{kTable};
}

KELVANE_C_EXPORT const char* getPluginName() {
    return "Small";
}
KELVANE_C_EXPORT const char* getPluginDescription() {
    return in(Mode::NULL_DESCRIPTOR) ? nullptr : "Sets every map's lower threshold.";
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
    return in(Mode::MISSING_SCRIPT) ? "Missing.js" : "Small.js";
}
