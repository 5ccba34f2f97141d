#include "standin/plugin/dispatch_table.h"

#include <cstdint>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <link.h>
#endif

namespace nimbrel {
namespace {

// The host's slots: destroy, execute, initPlugin.
constexpr std::size_t kHostSlots = 3;
constexpr std::size_t kSlotsLookedAt = 2;

// A range of the module's image in memory.
struct Segment {
    std::uintptr_t begin, end;
    bool code;
};

bool within(const std::vector<Segment>& segments, std::uintptr_t address, std::size_t size, bool code) {
    for (const Segment& s : segments)
        if (address >= s.begin && address + size <= s.end && (s.code || !code)) return true;
    return false;
}

#if defined(_WIN32)

std::vector<Segment> segmentsOf(const void* inModule) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCWSTR>(inModule), &module))
        return {};
    const auto base = reinterpret_cast<std::uintptr_t>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + static_cast<std::uintptr_t>(dos->e_lfanew));
    const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
    std::vector<Segment> segments;
    for (unsigned i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section)
        if ((section->Characteristics & IMAGE_SCN_MEM_READ) != 0)
            segments.push_back({base + section->VirtualAddress,
                                base + section->VirtualAddress + section->Misc.VirtualSize,
                                (section->Characteristics & IMAGE_SCN_MEM_EXECUTE) != 0});
    return segments;
}

#else

struct Search {
    std::uintptr_t address;
    std::vector<Segment> segments;
};

// The loaded, readable segments of the module that holds address.
std::vector<Segment> segmentsOf(const void* inModule) {
    Search search{reinterpret_cast<std::uintptr_t>(inModule), {}};
    dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void* data) {
            auto& found = *static_cast<Search*>(data);
            std::vector<Segment> segments;
            bool holds = false;
            for (int i = 0; i < info->dlpi_phnum; ++i) {
                const ElfW(Phdr)& header = info->dlpi_phdr[i];
                if (header.p_type != PT_LOAD || (header.p_flags & PF_R) == 0) continue;
                const std::uintptr_t begin = info->dlpi_addr + header.p_vaddr;
                segments.push_back({begin, begin + header.p_memsz, (header.p_flags & PF_X) != 0});
                if (found.address >= begin && found.address < begin + header.p_memsz) holds = true;
            }
            if (!holds) return 0;
            found.segments = std::move(segments);
            return 1;
        },
        &search);
    return search.segments;
}

#endif

}  // namespace

std::size_t slotsPastTheHosts(const PluginModule& module, const void* object) {
    const void* createPlugin = module.exportNamed("createPlugin");
    if (object == nullptr || createPlugin == nullptr) return 0;
    const std::vector<Segment> segments = segmentsOf(createPlugin);
    const auto* table = *static_cast<const std::uintptr_t* const*>(object);
    const auto tableAddress = reinterpret_cast<std::uintptr_t>(table);
    // Only a table in the module's own image can be read past its end safely.
    if (!within(segments, tableAddress, sizeof(void*) * (kHostSlots + kSlotsLookedAt), false)) return 0;
    std::size_t count = 0;
    while (count < kSlotsLookedAt && within(segments, table[kHostSlots + count], 1, true)) ++count;
    return count;
}

}  // namespace nimbrel
