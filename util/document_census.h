#pragma once

#include <cstdint>

#include "host/host_contract.h"

namespace kelvane {

// Checks that the workspace holds between minimum and maximum (both included)
// open documents of documentType (FMR, DMR, VMR or SRF), and says where they
// are. Walks every open document through the host, asking its type and type
// name; with logDetails the "// Plugin>" lines go to the log. A refusal is
// shown in a message box and gives false:
//  - a type outside 1 to 4, or no open document: neither output is written;
//  - a count outside the bounds: count holds the number found, positions are
//    not written.
// On success count holds the number found and positions their 0-based
// workspace positions in ascending order, so positions needs room for the
// smaller of maximum and the number of open documents.
bool findDocumentsOfType(DocumentType documentType, int32_t minimum, int32_t maximum, bool logDetails, int32_t& count,
                         int32_t* positions);

}  // namespace kelvane
