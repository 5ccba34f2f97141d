// The module and its objects: exports, descriptors, the files beside the
// module, creating and destroying objects, and cycles of the whole lifecycle.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>

#include "standin/check/check_workspace.h"
#include "standin/check/checks.h"
#include "standin/check/heap_use.h"
#include "standin/files/native_path.h"
#include "standin/host/host_session.h"

namespace nimbrel::check {
namespace {

namespace fs = std::filesystem;

constexpr const char* kDescriptorExports[] = {"getPluginName", "getPluginDescription", "getAuthor",
                                              "getHelpFile",   "getPluginVersion",     "getGUIScript"};
// A descriptor longer than this is not a sane text (or has no terminator).
constexpr std::size_t kLongestDescriptor = 1024;
constexpr int kCycles = 1000;
constexpr int kWarmUpCycles = 20;
// The short run at the default strictness: enough for a leak per execute to
// stand out, quick enough for every check.
constexpr int kShortCycles = 40;
constexpr int kShortWarmUpCycles = 5;
// Heap growth over the cycles that counts as none: allocator bookkeeping,
// not one byte per cycle of the long run.
constexpr std::int64_t kHeapGrowthAllowed = 1024;

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

std::int64_t growthOverCycles(const std::function<void()>& cycle, int cycles = kCycles,
                              int warmUpCycles = kWarmUpCycles) {
    for (int i = 0; i < warmUpCycles; ++i) cycle();
    const std::int64_t before = heapBytesInUse();
    for (int i = 0; i < cycles; ++i) cycle();
    return heapBytesInUse() - before;
}

std::string growthText(std::int64_t growth, int cycles = kCycles) {
    return "the heap grew by " + std::to_string(growth) + " bytes over " + std::to_string(cycles) + " cycles";
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
    handOutReadOnlyTexts(session);
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
    for (const char* name : {"createPlugin", "getPluginName", "getPluginDescription", "getAuthor", "getHelpFile",
                             "getPluginVersion", "getGUIScript"})
        if (module.exportNamed(name) == nullptr) missing += (missing.empty() ? "" : ", ") + std::string(name);
    if (!missing.empty()) throw CheckFailure("not exported: " + missing);
    std::string changes;
    for (const std::string& change : context.loadChanges()) changes += (changes.empty() ? "" : "; ") + change;
    if (!changes.empty()) return warned("all seven are exported; but loading the module " + changes);
    return passed("all seven are exported");
}

CheckResult checkDescriptors(CheckContext& context) {
    std::string movedPointers;
    for (const char* name : kDescriptorExports) {
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
    handOutReadOnlyTexts(session);
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
    const std::int64_t growth = growthOverCycles([&context] {
        CheckedPlugin plugin = context.createPlugin();
        context.destroy(plugin);
    });
    if (growth > kHeapGrowthAllowed)
        throw CheckFailure(growthText(growth) + ": slot 0 with flags 1 does not free the object");
    return passed(growthText(growth));
}

CheckResult checkExecuteLeaks(CheckContext& context) {
    Workspace prepared = validVmrWorkspace();
    applyDefaults(context.dialog(), prepared);
    // The other checks watch the process's state; this one is about the heap.
    context.watchProcessState(false);
    std::chrono::steady_clock::duration spent[4]{};
    const std::int64_t growth =
        growthOverCycles([&] { lifecycle(context, prepared, spent); }, kShortCycles, kShortWarmUpCycles);
    if (growth > kHeapGrowthAllowed)
        throw CheckFailure(growthText(growth, kShortCycles) + ", " + std::to_string(growth / kShortCycles) +
                           " bytes per execute: free what execute and the destructor allocate");
    return passed(growthText(growth, kShortCycles));
}

CheckResult checkCycles(CheckContext& context) {
    Workspace prepared = validVmrWorkspace();
    applyDefaults(context.dialog(), prepared);
    // Only the calls are timed.
    context.watchProcessState(false);
    std::chrono::steady_clock::duration spent[4]{};
    const std::int64_t growth = growthOverCycles([&] { lifecycle(context, prepared, spent); });
    char times[200];
    auto micros = [&spent](int call) {
        return std::chrono::duration<double, std::micro>(spent[call]).count() / (kCycles + kWarmUpCycles);
    };
    std::snprintf(times, sizeof times,
                  "; per call: createPlugin %.1f us, initPlugin %.1f us, execute %.1f us, destroy %.1f us", micros(0),
                  micros(1), micros(2), micros(3));
    if (growth > kHeapGrowthAllowed) throw CheckFailure(growthText(growth) + times);
    return passed(growthText(growth) + times);
}

}  // namespace nimbrel::check
