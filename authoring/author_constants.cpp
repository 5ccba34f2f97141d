#include "authoring/author_constants.h"

#include <regex>
#include <stdexcept>
#include <type_traits>

#include "host/host_contract.h"
#include "host/nrvmp_record.h"
#include "plugin/plugin_interface.h"

namespace kelvane::authoring {
namespace {

template <typename T>
std::string cValue(T value) {
    if constexpr (std::is_same_v<T, const char*>) {
        return std::string("\"") + value + "\"";
    } else if constexpr (std::is_unsigned_v<T>) {
        return std::to_string(value) + "u";
    } else {
        return std::to_string(value);
    }
}

#define KELVANE_AUTHOR_CONSTANT(macro, own, comment) \
    AuthorConstant {                                 \
#macro, #own, cValue(own), comment           \
    }

}  // namespace

const std::vector<AuthorConstant>& authorConstants() {
    static const std::vector<AuthorConstant> constants = {
        KELVANE_AUTHOR_CONSTANT(NIMBREL_HOST_MODULE, kHostModuleFileName,
                                "The host's module, already loaded in the process when a plug-in runs."),
        KELVANE_AUTHOR_CONSTANT(NIMBREL_DOCUMENT_FMR, kDocumentFMR, "Document types, as nbGetDocumentType answers."),
        KELVANE_AUTHOR_CONSTANT(NIMBREL_DOCUMENT_DMR, kDocumentDMR, ""),
        KELVANE_AUTHOR_CONSTANT(NIMBREL_DOCUMENT_VMR, kDocumentVMR, ""),
        KELVANE_AUTHOR_CONSTANT(NIMBREL_DOCUMENT_SRF, kDocumentSRF, ""),
        KELVANE_AUTHOR_CONSTANT(NIMBREL_STRING_PARAMETER_SIZE, kStringParameterSize,
                                "The size of the caller's buffer that nbGetStringParameter fills."),
        KELVANE_AUTHOR_CONSTANT(NIMBREL_T_MAP, kTMapType, "NRVMPRecord.mapType of a t-map."),
        KELVANE_AUTHOR_CONSTANT(NIMBREL_DESTROY_FREES, NMBLPluginInterface::kFreeStorage,
                                "Bit 0 of the flags of slot 0: free the object's storage too."),
    };
    return constants;
}

std::string noteForAuthors(const std::string& note) {
    // "(nrvmp_record.h)", "(kRequiredHostMajor and the like, host_contract.h)".
    static const std::regex ownFile(R"( \([^()]*\b\w+\.h\))");
    std::string text = std::regex_replace(note, ownFile, "");
    static const std::regex ownConstant(R"(\bk[A-Z]\w*)");
    std::string result;
    auto last = text.cbegin();
    for (std::sregex_iterator it(text.begin(), text.end(), ownConstant), end; it != end; ++it) {
        const std::string name = it->str();
        const AuthorConstant* found = nullptr;
        for (const AuthorConstant& constant : authorConstants())
            if (constant.ownName == name) found = &constant;
        if (found == nullptr) throw std::logic_error("a note names " + name + ", which nimbrel_plugin.h does not give");
        result.append(last, text.cbegin() + it->position()).append(found->macro);
        last = text.cbegin() + it->position() + it->length();
    }
    return result.append(last, text.cend());
}

}  // namespace kelvane::authoring
