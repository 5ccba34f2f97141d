#include "standin/plugin/module_kind.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

namespace nimbrel {
namespace {

// Machine codes of the ELF and Windows module headers.
constexpr std::uint16_t kElfX86_64 = 62, kElfAarch64 = 183, kElfI386 = 3;
constexpr std::uint16_t kPeAmd64 = 0x8664, kPeArm64 = 0xAA64, kPeI386 = 0x14C;
constexpr std::size_t kBytesRead = 4096;

#if defined(__aarch64__) || defined(_M_ARM64)
constexpr std::uint16_t kThisElfMachine = kElfAarch64, kThisPeMachine = kPeArm64;
#else
constexpr std::uint16_t kThisElfMachine = kElfX86_64, kThisPeMachine = kPeAmd64;
#endif

#if defined(_WIN32)
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

using Bytes = std::vector<unsigned char>;

std::uint32_t little(const Bytes& bytes, std::size_t offset, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = value << 8 | bytes[offset + static_cast<std::size_t>(i)];
    return value;
}

std::string machineName(std::uint16_t machine, bool elf) {
    if (machine == (elf ? kElfX86_64 : kPeAmd64)) return "x86-64";
    if (machine == (elf ? kElfAarch64 : kPeArm64)) return "ARM64";
    if (machine == (elf ? kElfI386 : kPeI386)) return "32-bit x86";
    return "machine code " + std::to_string(machine);
}

bool looksLikeText(const Bytes& bytes) {
    for (unsigned char c : bytes)
        if (c == 0 || (c < 0x20 && c != '\n' && c != '\r' && c != '\t')) return false;
    return true;
}

// What the file is, when this stand-in cannot load it; empty when it can.
std::string foreignKind(const Bytes& bytes, const std::string& name, const char* what, const char* command) {
    const std::string self = std::string(kWindows ? "" : "wine ") + "Nimbrel.exe " + command + " " + name;
    if (bytes.size() >= 20 && bytes[0] == 0x7F && bytes[1] == 'E' && bytes[2] == 'L' && bytes[3] == 'F') {
        const auto machine = static_cast<std::uint16_t>(little(bytes, 18, 2));
        const bool is64 = bytes[4] == 2;
        if (kWindows)
            return "a Linux module (" + machineName(machine, true) + "), not a Windows one: " + what +
                   " it with the Linux build (Nimbrel.exe " + command + " " + name + ")";
        if (machine != kThisElfMachine || !is64)
            return "a Linux module for " + machineName(machine, true) + ", not for " +
                   machineName(kThisElfMachine, true) + " as this stand-in: build it for " +
                   machineName(kThisElfMachine, true);
        return "";
    }
    if (bytes.size() >= 0x40 && bytes[0] == 'M' && bytes[1] == 'Z') {
        const std::uint32_t header = little(bytes, 0x3C, 4);
        if (header + 6 <= bytes.size() && little(bytes, header, 4) == 0x00004550) {
            const auto machine = static_cast<std::uint16_t>(little(bytes, header + 4, 2));
            if (!kWindows)
                return "a Windows module (" + machineName(machine, false) + "): " + what +
                       " it with the Windows build under Wine (" + self + ")";
            if (machine != kThisPeMachine)
                return "a Windows module for " + machineName(machine, false) + ", not for " +
                       machineName(kThisPeMachine, false) + " as this stand-in: build it for " +
                       machineName(kThisPeMachine, false);
            return "";
        }
    }
    if (bytes.size() >= 4 &&
        (little(bytes, 0, 4) == 0xFEEDFACF || little(bytes, 0, 4) == 0xCAFEBABE || little(bytes, 0, 4) == 0xBEBAFECA))
        return "a macOS module: the host loads only Windows modules, this stand-in also Linux ones";
    if (bytes.empty()) return "an empty file, not a module";
    if (looksLikeText(bytes)) return "a text file, not a module";
    return std::string("not a module: it has neither the header of a Linux module (ELF) nor of a Windows one");
}

}  // namespace

std::optional<std::string> foreignModuleNote(const std::string& path, const char* what, const char* command) {
    std::ifstream file(std::filesystem::u8path(path), std::ios::binary);
    if (!file) return std::nullopt;
    Bytes bytes(kBytesRead);
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(file.gcount()));
    const std::string name = std::filesystem::u8path(path).filename().u8string();
    std::string kind = foreignKind(bytes, name, what, command);
    if (kind.empty()) return std::nullopt;
    return path + " is " + kind;
}

}  // namespace nimbrel
