#include "standin/host/host_lacking.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "standin/base/native_path.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <elf.h>
#endif

namespace nimbrel {
namespace {

using Bytes = std::vector<char>;

// The object of type T at offset, or a refusal when it would pass the end.
template <typename T>
T* at(Bytes& bytes, uint64_t offset, uint64_t count = 1) {
    if (offset > bytes.size() || count > (bytes.size() - offset) / sizeof(T))
        throw std::runtime_error("the host program is cut short");
    return reinterpret_cast<T*>(bytes.data() + offset);
}

bool namesFunction(Bytes& bytes, uint64_t offset, const std::string& function) {
    const char* name = at<char>(bytes, offset, function.size() + 1);
    return std::memcmp(name, function.c_str(), function.size() + 1) == 0;
}

#if defined(_WIN32)

// Points the function's export at a forwarder to a module that does not
// exist ("Nimbrel.exe" forwards to Nimbrel.dll's "exe"): the name table and
// its order stay as they are, and the system's lookup of the name gives null.
bool withhold(Bytes& bytes, const std::string& function) {
    const auto* dos = at<IMAGE_DOS_HEADER>(bytes, 0);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE) throw std::runtime_error("the host program is not a PE file");
    auto* nt = at<IMAGE_NT_HEADERS64>(bytes, static_cast<uint64_t>(dos->e_lfanew));
    if (nt->Signature != IMAGE_NT_SIGNATURE || nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC)
        throw std::runtime_error("the host program is not a 64-bit PE file");
    const IMAGE_DATA_DIRECTORY exports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    const uint64_t sectionsAt = static_cast<uint64_t>(dos->e_lfanew) + offsetof(IMAGE_NT_HEADERS64, OptionalHeader) +
                                nt->FileHeader.SizeOfOptionalHeader;
    const auto* sections = at<IMAGE_SECTION_HEADER>(bytes, sectionsAt, nt->FileHeader.NumberOfSections);
    auto offsetOf = [&](uint64_t rva) -> uint64_t {
        for (int i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
            const IMAGE_SECTION_HEADER& s = sections[i];
            if (rva >= s.VirtualAddress && rva < uint64_t{s.VirtualAddress} + s.SizeOfRawData)
                return rva - s.VirtualAddress + s.PointerToRawData;
        }
        throw std::runtime_error("the host program's export table points outside its sections");
    };
    if (exports.VirtualAddress == 0) return false;
    auto* directory = at<IMAGE_EXPORT_DIRECTORY>(bytes, offsetOf(exports.VirtualAddress));
    const DWORD forwarder = directory->Name;
    if (forwarder < exports.VirtualAddress || forwarder >= exports.VirtualAddress + exports.Size ||
        std::strchr(at<char>(bytes, offsetOf(forwarder)), '.') == nullptr)
        throw std::runtime_error("the host program's export table has no module name to forward to");
    const auto* names = at<DWORD>(bytes, offsetOf(directory->AddressOfNames), directory->NumberOfNames);
    const auto* ordinals = at<WORD>(bytes, offsetOf(directory->AddressOfNameOrdinals), directory->NumberOfNames);
    auto* functions = at<DWORD>(bytes, offsetOf(directory->AddressOfFunctions), directory->NumberOfFunctions);
    for (DWORD i = 0; i < directory->NumberOfNames; ++i) {
        if (!namesFunction(bytes, offsetOf(names[i]), function)) continue;
        if (ordinals[i] >= directory->NumberOfFunctions)
            throw std::runtime_error("the host program's export table is not valid");
        functions[ordinals[i]] = forwarder;
        return true;
    }
    return false;
}

#else

// Gives the function's dynamic symbol no value: the dynamic linker's lookup
// skips a symbol without one, the hash tables and the other symbols stay.
bool withhold(Bytes& bytes, const std::string& function) {
    const auto* header = at<Elf64_Ehdr>(bytes, 0);
    if (std::memcmp(header->e_ident, ELFMAG, SELFMAG) != 0 || header->e_ident[EI_CLASS] != ELFCLASS64)
        throw std::runtime_error("the host program is not a 64-bit ELF file");
    const auto* sections = at<Elf64_Shdr>(bytes, header->e_shoff, header->e_shnum);
    for (int i = 0; i < header->e_shnum; ++i) {
        if (sections[i].sh_type != SHT_DYNSYM || sections[i].sh_link >= header->e_shnum) continue;
        const Elf64_Shdr& names = sections[sections[i].sh_link];
        const uint64_t count = sections[i].sh_size / sizeof(Elf64_Sym);
        auto* symbols = at<Elf64_Sym>(bytes, sections[i].sh_offset, count);
        for (uint64_t s = 0; s < count; ++s) {
            if (symbols[s].st_shndx == SHN_UNDEF || symbols[s].st_name >= names.sh_size) continue;
            if (!namesFunction(bytes, names.sh_offset + symbols[s].st_name, function)) continue;
            symbols[s].st_value = 0;
            symbols[s].st_shndx = SHN_UNDEF;
            return true;
        }
    }
    return false;
}

#endif

}  // namespace

void writeHostLacking(const std::string& hostPath, const std::string& function, const std::string& copyPath) {
    // Read whole at once: the program may be tens of megabytes (a sanitizer's
    // build), and --check writes a copy for each function.
    std::ifstream in(nativePath(hostPath), std::ios::binary | std::ios::ate);
    const std::streamoff size = in.tellg();
    Bytes bytes(size > 0 ? static_cast<std::size_t>(size) : 0);
    in.seekg(0);
    if (!in || size <= 0 || !in.read(bytes.data(), size)) throw std::runtime_error("cannot read " + hostPath);
    in.close();  // the copy may be the program itself
    if (!withhold(bytes, function)) throw std::runtime_error("the host program does not export " + function);
    std::ofstream out(nativePath(copyPath), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write " + copyPath);
    namespace fs = std::filesystem;
    fs::permissions(nativePath(copyPath), fs::perms::owner_exec | fs::perms::owner_read, fs::perm_options::add);
}

}  // namespace nimbrel
