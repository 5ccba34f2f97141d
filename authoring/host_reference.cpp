// Writes host-functions.md: every host function with its C signature and, where
// the list states one, its contract.

#include <cctype>
#include <sstream>

#include "authoring/author_constants.h"
#include "authoring/author_files.h"
#include "authoring/host_catalog.h"

namespace kelvane::authoring {
namespace {

// The anchor a heading of that name gets: lower case.
std::string anchor(std::string name) {
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

std::string code(const std::string& text) {
    return "`" + text + "`";
}

void writeContract(std::ostream& out, const HostFunction& function) {
    const HostContract& contract = *function.contract;
    out << "\n### " << code(function.name) << "\n\n"
        << code(function.signature()) << "\n\n"
        << noteForAuthors(contract.note) << "\n\n"
        << "| Argument | Type | What it is |\n|---|---|---|\n";
    for (std::size_t i = 0; i < function.parameters.size(); ++i)
        out << "| " << i + 1 << " | " << code(function.parameters[i]) << " | " << argumentWords(contract.arguments[i])
            << " |\n";
    out << "| result | " << code(function.result) << " | " << resultWords(contract.result) << " |\n";
}

}  // namespace

std::string hostReference() {
    const std::vector<HostFunction> functions = hostFunctions();
    std::size_t contracted = 0;
    for (const HostFunction& function : functions) contracted += function.contract ? 1 : 0;

    std::ostringstream out;
    out << "# Host functions\n\n"
        << "<!-- Written by kelvane_author_files from host/host_function_list.inc: do not edit. To refresh it and "
        << kAuthorHeaderFile << ": " << kRefreshCommand << " -->\n\n"
        << "The host's module, `Nimbrel.exe`, exports these " << functions.size()
        << " functions for plug-ins, under plain names. A plug-in looks each one up by name at run time, tests it "
           "for null (a host of another version may lack any of them), and calls it through a pointer of the type "
        << code(kAuthorHeaderFile) << " declares for it: `nbLogTextFunction` for `nbLogText`. "
        << "[Writing a plug-in](writing-plugins.md) describes the rest of the boundary.\n\n"
        << "In the signatures, `int32_t` is a signed 32-bit integer, `float` a single-precision number (passed as "
           "it is, never widened), `bool` one byte, and every pointer 64 bits.\n\n"
        << "## For every host function\n\n";
    for (const char* rule : contract::kEveryHostFunction) out << "- " << rule << "\n";

    out << "\n## The functions with a contract\n\n"
        << "For these " << contracted
        << ", the host states what each argument is and what the result is. The stand-in host `Nimbrel.exe` "
           "serves them; every other function answers zero there (false, 0 or null), and the run's report lists "
           "its calls under `unprovidedCalls`.\n";
    for (const HostFunction& function : functions)
        if (function.contract) writeContract(out, function);

    out << "\n## Every host function\n\n"
        << "In the host's order. Of a function without a contract nothing more is stated: what its arguments are is "
           "unstated, and its result is a value.\n\n"
        << "| # | Signature | Contract |\n|---|---|---|\n";
    for (std::size_t i = 0; i < functions.size(); ++i) {
        const HostFunction& function = functions[i];
        out << "| " << i + 1 << " | " << code(function.signature()) << " | "
            << (function.contract ? "[stated](#" + anchor(function.name) + ")" : std::string()) << " |\n";
    }
    return out.str();
}

}  // namespace kelvane::authoring
