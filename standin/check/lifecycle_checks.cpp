// The module and its objects: exports, descriptors, the files beside the
// module, creating and destroying objects, and cycles of the whole lifecycle.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>

#include "standin/check/check_workspace.h"
#include "standin/check/checks.h"
#include "standin/check/heap_use.h"
#include "standin/check/process_resources.h"
#include "standin/base/native_path.h"
#include "standin/host/host_session.h"
#include "standin/plugin/plugin_runner.h"

namespace nimbrel::check {
namespace {

namespace fs = std::filesystem;

// A descriptor longer than this is not a sane text (or has no terminator).
constexpr std::size_t kLongestDescriptor = 1024;
// The cycles are measured in kSegments runs of equal length, after a
// warm-up: what grows with the number of cycles grows in every run; the C
// library's one-off bookkeeping (for threads, say) or a cache built once
// grows in one run at most.
constexpr int kSegments = 4;
constexpr int kCycles = 1000;
constexpr int kWarmUpCycles = 20;
// The short run at the default strictness: enough for a leak per execute to
// stand out, quick enough for every check.
constexpr int kShortCycles = 40;
constexpr int kShortWarmUpCycles = 5;
// Heap growth over one run that counts as none: allocator bookkeeping, not
// one byte per cycle of the long run.
constexpr std::int64_t kHeapGrowthAllowed = 256;

using DescriptorFunction = const char* (*)();

std::string describeBytes(std::size_t n) {
    return std::to_string(n) + (n == 1 ? " byte" : " bytes");
}

// The descriptor's text, checked; throws CheckFailure.
std::string descriptorText(CheckContext& context, const char* name, const char** pointer) {
    auto function = reinterpret_cast<DescriptorFunction>(context.module().exportNamed(name));
    if (function == nullptr) throw CheckFailure(std::string(name) + " is not exported");
    context.channel().calling(name);
    const char* text = function();
    *pointer = text;
    if (text == nullptr) throw CheckFailure(std::string(name) + " returned null");
    context.channel().calling(std::string("reading the text ") + name + " returned");
    std::size_t length = 0;
    while (length <= kLongestDescriptor && text[length] != '\0') {
        const auto byte = static_cast<unsigned char>(text[length]);
        if (byte < 0x20 || byte == 0x7F) {
            char reason[128];
            std::snprintf(reason, sizeof reason, "%s's text holds the control byte 0x%02X at offset %zu", name, byte,
                          length);
            throw CheckFailure(reason);
        }
        ++length;
    }
    if (length > kLongestDescriptor)
        throw CheckFailure(std::string(name) + "'s text has no terminator within " + describeBytes(kLongestDescriptor));
    if (length == 0) throw CheckFailure(std::string(name) + "'s text is empty");
    return std::string(text, length);
}

// The plug-in's file of that descriptor, beside the module; throws CheckFailure.
std::string fileBeside(CheckContext& context, const char* descriptor, const std::optional<std::string>& named) {
    if (!named || named->empty()) throw CheckFailure(std::string(descriptor) + " names no file");
    const fs::path path = nativePath(context.pluginPath()).parent_path() / nativePath(*named);
    std::error_code ignored;
    if (!fs::is_regular_file(path, ignored))
        throw CheckFailure(*named + " (" + descriptor + ") is not beside the module: " + utf8Path(path) +
                           " does not exist");
    return utf8Path(path);
}

// What the cycles made grow: the heap and the open descriptors (handles),
// over each run.
struct Growth {
    int cycles = 0;
    std::int64_t heap[kSegments] = {};
    std::int64_t descriptors[kSegments] = {};

    static std::int64_t total(const std::int64_t (&runs)[kSegments]) {
        std::int64_t sum = 0;
        for (std::int64_t run : runs) sum += run;
        return sum;
    }
    // Whether it grew by more than allowed in every run.
    static bool withCycles(const std::int64_t (&runs)[kSegments], std::int64_t allowed) {
        for (std::int64_t run : runs)
            if (run <= allowed) return false;
        return true;
    }
};

Growth growthOverCycles(const std::function<void()>& cycle, int cycles = kCycles, int warmUpCycles = kWarmUpCycles) {
    for (int i = 0; i < warmUpCycles; ++i) cycle();
    Growth growth;
    growth.cycles = cycles / kSegments * kSegments;
    for (int run = 0; run < kSegments; ++run) {
        const std::int64_t heap = heapBytesInUse(), descriptors = openDescriptors();
        for (int i = 0; i < cycles / kSegments; ++i) cycle();
        growth.heap[run] = heapBytesInUse() - heap;
        growth.descriptors[run] = openDescriptors() - descriptors;
    }
    return growth;
}

std::string growthText(const Growth& growth) {
    const std::int64_t heap = Growth::total(growth.heap);
    std::string text =
        "the heap grew by " + std::to_string(heap) + " bytes over " + std::to_string(growth.cycles) + " cycles";
    if (heap > kHeapGrowthAllowed && !Growth::withCycles(growth.heap, kHeapGrowthAllowed))
        text += ", not with their number (bookkeeping done once, or a cache)";
    return text;
}

// Why the cycles fail, when the heap or the open descriptors grow with their
// number; each is per what (what one cycle makes), with advice for each.
std::optional<std::string> growthFault(const Growth& growth, const char* what, const std::string& heapAdvice,
                                       const std::string& descriptorAdvice) {
    if (Growth::withCycles(growth.heap, kHeapGrowthAllowed))
        return growthText(growth) + ", " + std::to_string(Growth::total(growth.heap) / growth.cycles) + " bytes per " +
               what + ": " + heapAdvice;
    if (Growth::withCycles(growth.descriptors, 0)) {
        const std::int64_t descriptors = Growth::total(growth.descriptors);
        char perCycle[32];
        std::snprintf(perCycle, sizeof perCycle, "%g", static_cast<double>(descriptors) / growth.cycles);
        return "the open " + std::string(descriptorsWord()) + " grew by " + std::to_string(descriptors) + " over " +
               std::to_string(growth.cycles) + " cycles, " + perCycle + " per " + what + ": " + descriptorAdvice;
    }
    return std::nullopt;
}

// One whole lifecycle on a valid VMR with the dialog's defaults, each call
// timed into spent (createPlugin, initPlugin, execute, destroy).
void lifecycle(CheckContext& context, const Workspace& prepared, std::chrono::steady_clock::duration* spent) {
    using Clock = std::chrono::steady_clock;
    auto timed = [&spent](int call, auto&& body) {
        const auto start = Clock::now();
        body();
        spent[call] += Clock::now() - start;
    };
    Workspace workspace = prepared;
    HostSession session(workspace);
    CheckedPlugin plugin;
    timed(0, [&] { plugin = context.createPlugin(); });
    bool accepted = false;
    timed(1, [&] { accepted = context.initPlugin(plugin); });
    if (!accepted) throw CheckFailure("initPlugin refused a valid VMR with maps during the cycles");
    timed(2, [&] { context.execute(plugin); });
    timed(3, [&] { context.destroy(plugin); });
}

}  // namespace

CheckResult checkExports(CheckContext& context) {
    const PluginModule& module = context.module();
    std::string missing;
    if (module.exportNamed("createPlugin") == nullptr) missing = "createPlugin";
    for (const DescriptorExport& descriptor : kDescriptorExports)
        if (module.exportNamed(descriptor.name) == nullptr)
            missing += (missing.empty() ? "" : ", ") + std::string(descriptor.name);
    if (!missing.empty()) throw CheckFailure("not exported: " + missing);
    std::string changes;
    for (const std::string& change : context.loadChanges()) changes += (changes.empty() ? "" : "; ") + change;
    if (!changes.empty()) return warned("all seven are exported; but loading the module " + changes);
    return passed("all seven are exported");
}

CheckResult checkDescriptors(CheckContext& context) {
    std::string movedPointers;
    for (const DescriptorExport& descriptor : kDescriptorExports) {
        const char* name = descriptor.name;
        const char* first = nullptr;
        const std::string text = descriptorText(context, name, &first);
        for (int call = 2; call <= 3; ++call) {
            const char* again = nullptr;
            if (descriptorText(context, name, &again) != text)
                throw CheckFailure(std::string(name) + " gave another text on call " + std::to_string(call));
            if (again != first && movedPointers.find(name) == std::string::npos)
                movedPointers += (movedPointers.empty() ? "" : ", ") + std::string(name);
        }
    }
    if (!movedPointers.empty())
        return warned("the same texts, but at another address on a later call: " + movedPointers +
                      " (a host may keep the first pointer)");
    return passed("six texts, each the same on three calls");
}

CheckResult checkPackage(CheckContext& context) {
    const PluginDescriptors descriptors = context.module().descriptors();
    fileBeside(context, "getHelpFile", descriptors.helpFile);
    const std::string script = fileBeside(context, "getGUIScript", descriptors.guiScript);
    context.channel().calling("reading the dialog script " + script);
    DialogScript dialog;
    try {
        dialog = readDialogScript(script);
    } catch (const DialogScriptError& e) {
        throw CheckFailure(e.what());
    }
    const std::size_t count = dialog.parameters.size();
    return passed(*descriptors.guiScript + " declares " + std::to_string(count) +
                  (count == 1 ? " parameter" : " parameters") + "; " + *descriptors.helpFile + " is there");
}

CheckResult checkCreate(CheckContext& context) {
    Workspace workspace = validVmrWorkspace();
    HostSession session(workspace);
    CheckedPlugin first = context.createPlugin("first");
    CheckedPlugin second = context.createPlugin("second");
    if (first.address() == second.address()) throw CheckFailure("two calls gave the same object");
    for (const CheckedPlugin* plugin : {&first, &second}) {
        context.channel().calling("reading the object's dispatch table");
        void* const* table = *static_cast<void* const* const*>(plugin->address());
        if (table == nullptr) throw CheckFailure("an object's dispatch table pointer is null");
        for (int slot = 0; slot < 3; ++slot)
            if (table[slot] == nullptr) throw CheckFailure("slot " + std::to_string(slot) + " of the table is null");
    }
    context.destroy(first, "first");
    context.initPlugin(second, "second, after the first was destroyed");
    context.destroy(second, "second");
    return passed("two calls gave two objects; the second stayed usable after the first was destroyed");
}

CheckResult checkDestroy(CheckContext& context) {
    context.watchProcessState(false);
    const Growth growth = growthOverCycles([&context] {
        CheckedPlugin plugin = context.createPlugin();
        context.destroy(plugin);
    });
    if (auto fault = growthFault(growth, "object", "slot 0 with flags 1 does not free the object",
                                 "close what createPlugin and the destructor open"))
        throw CheckFailure(*fault);
    return passed(growthText(growth));
}

CheckResult checkExecuteLeaks(CheckContext& context) {
    Workspace prepared = validVmrWorkspace();
    applyDefaults(context.dialog(), prepared);
    // The other checks watch the process's state; this one is about what grows.
    context.watchProcessState(false);
    std::chrono::steady_clock::duration spent[4]{};
    const Growth growth =
        growthOverCycles([&] { lifecycle(context, prepared, spent); }, kShortCycles, kShortWarmUpCycles);
    if (auto fault =
            growthFault(growth, "execute", "free what execute and the destructor allocate", "close what execute opens"))
        throw CheckFailure(*fault);
    return passed(growthText(growth));
}

CheckResult checkCycles(CheckContext& context) {
    Workspace prepared = validVmrWorkspace();
    applyDefaults(context.dialog(), prepared);
    // Only the calls are timed.
    context.watchProcessState(false);
    std::chrono::steady_clock::duration spent[4]{};
    const Growth growth = growthOverCycles([&] { lifecycle(context, prepared, spent); });
    char times[200];
    auto micros = [&spent](int call) {
        return std::chrono::duration<double, std::micro>(spent[call]).count() / (kCycles + kWarmUpCycles);
    };
    std::snprintf(times, sizeof times,
                  "; per call: createPlugin %.1f us, initPlugin %.1f us, execute %.1f us, destroy %.1f us", micros(0),
                  micros(1), micros(2), micros(3));
    if (auto fault =
            growthFault(growth, "execute", "free what execute and the destructor allocate", "close what execute opens"))
        throw CheckFailure(*fault + times);
    return passed(growthText(growth) + times);
}

}  // namespace nimbrel::check
