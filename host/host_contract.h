#pragma once
// What the plug-in relies on from the host: its module, its version, its codes.

#include <cstddef>
#include <cstdint>

namespace kelvane {

// The host's executable, already loaded in the process when the plug-in runs.
inline constexpr const char* kHostModuleFileName = "Nimbrel.exe";

// The oldest host version the plug-in runs on.
inline constexpr int32_t kRequiredHostMajor = 2;
inline constexpr int32_t kRequiredHostMinor = 2;
inline constexpr int32_t kRequiredHostRelease = 0;

// The host's code for a document's kind.
using DocumentType = int32_t;
inline constexpr DocumentType kDocumentFMR = 1;
inline constexpr DocumentType kDocumentDMR = 2;
inline constexpr DocumentType kDocumentVMR = 3;
inline constexpr DocumentType kDocumentSRF = 4;

// nbGetStringParameter writes a zero-terminated text into a buffer of this size.
inline constexpr std::size_t kStringParameterSize = 512;

}  // namespace kelvane
