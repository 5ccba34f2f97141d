#pragma once
// The host as the plug-in finds it: its module, the oldest version the plug-in
// runs on, and the codes and sizes that the notes of host_function_list.inc
// name.

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

// The size of the caller's buffer that nbGetStringParameter fills.
inline constexpr std::size_t kStringParameterSize = 512;

}  // namespace kelvane
