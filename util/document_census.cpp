#include "util/document_census.h"

#include <cstdio>
#include <string>
#include <vector>

#include "host/host_forwarders.h"

namespace kelvane {
namespace {

// Lines and messages other than the summary are at most this long (with the
// terminator); none of their arguments can make them longer.
constexpr std::size_t kTextSize = 512;
// The host's type name is taken with at most 7 characters.
constexpr std::size_t kTypeNameSize = 8;

const char* typeText(DocumentType type) {
    switch (type) {
        case kDocumentFMR:
            return "FMR";
        case kDocumentDMR:
            return "DMR";
        case kDocumentVMR:
            return "VMR";
        case kDocumentSRF:
            return "SRF";
        default:
            return nullptr;
    }
}

// Copies at most kTypeNameSize - 1 characters of the host's name; null is empty.
void copyTypeName(const char* hostName, char (&name)[kTypeNameSize]) {
    std::size_t length = 0;
    if (hostName != nullptr)
        while (length < kTypeNameSize - 1 && hostName[length] != '\0') {
            name[length] = hostName[length];
            ++length;
        }
    name[length] = '\0';
}

bool refuse(const char* message) {
    nbMessageBox(message);
    return false;
}

}  // namespace

bool findDocumentsOfType(DocumentType documentType, int32_t minimum, int32_t maximum, bool logDetails, int32_t& count,
                         int32_t* positions) {
    const char* type = typeText(documentType);
    if (type == nullptr) return refuse("Error: Invalid document type specified!");

    char text[kTextSize];
    const int32_t documents = nbGetNumberOfDocsInWorkspace();
    std::snprintf(text, sizeof text, "// Plugin> Number of documents: %i", documents);
    if (logDetails) nbLogText(text);
    // A negative count from the host is taken as no documents.
    if (documents <= 0) return refuse("No open documents found");

    std::vector<DocumentType> types(static_cast<std::size_t>(documents));
    for (int32_t i = 0; i < documents; ++i) {
        types[static_cast<std::size_t>(i)] = nbGetDocumentType(i);
        char typeName[kTypeNameSize];
        copyTypeName(nbGetDocumentTypeName(i), typeName);
        std::snprintf(text, sizeof text, "// Plugin> Document %i is a %s", i + 1, typeName);
        if (logDetails) nbLogText(text);
    }

    count = 0;
    for (DocumentType t : types)
        if (t == documentType) ++count;

    if (count < minimum) {
        if (minimum == 1)
            std::snprintf(text, sizeof text, "At least 1 open %s is required", type);
        else
            std::snprintf(text, sizeof text, "At least %i open %ss are required", minimum, type);
        return refuse(text);
    }
    if (count > maximum) {
        if (maximum == 1)
            std::snprintf(text, sizeof text, "No more than 1 open %s is allowed", type);
        else
            std::snprintf(text, sizeof text, "No more than %i open %ss are allowed", maximum, type);
        return refuse(text);
    }

    std::vector<int32_t> found;
    for (int32_t i = 0; i < documents; ++i)
        if (types[static_cast<std::size_t>(i)] == documentType) found.push_back(i);
    if (positions != nullptr)
        for (std::size_t k = 0; k < found.size(); ++k) positions[k] = found[k];

    // The summary grows with the number of documents: no length limit.
    std::string summary;
    if (found.empty()) {
        summary = std::string("// Plugin> No open ") + type + " found";
    } else if (found.size() == 1) {
        summary = std::string("// Plugin> Found 1 ") + type + ": document " + std::to_string(found[0] + 1);
    } else {
        summary = "// Plugin> Found " + std::to_string(found.size()) + " " + type + "s: documents";
        for (std::size_t k = 0; k + 1 < found.size(); ++k) summary += " " + std::to_string(found[k] + 1);
        summary += " and " + std::to_string(found.back() + 1);
    }
    if (logDetails) nbLogText(summary.c_str());
    return true;
}

}  // namespace kelvane
