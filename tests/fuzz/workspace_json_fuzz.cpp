// Reading a workspace file: any text is read, or refused with one line that
// names the file (a WorkspaceFileError) and nothing else; a workspace read is
// written to a text that reads back to the same text.

#include <cstddef>
#include <cstdint>
#include <string>

#include "standin/files/workspace_json.h"
#include "tests/fuzz/fuzz_input.h"

namespace kelvane::fuzz {
namespace {

constexpr const char* kTarget = "workspace_json";

void check(const std::string& text) {
    nimbrel::Workspace workspace;
    try {
        workspace = nimbrel::parseWorkspace(text, "ws.json");
    } catch (const nimbrel::WorkspaceFileError& error) {
        const std::string message = error.what();
        KELVANE_FUZZ_CHECK(kTarget, message.rfind("ws.json: ", 0) == 0, "the message names another file: " + message);
        KELVANE_FUZZ_CHECK(kTarget, message.find('\n') == std::string::npos, "the message is not one line: " + message);
        return;
    }
    const std::string written = nimbrel::workspaceText(workspace);
    KELVANE_FUZZ_CHECK(kTarget, nimbrel::workspaceText(nimbrel::parseWorkspace(written, "again.json")) == written,
                       "the written workspace reads back otherwise");
}

}  // namespace
}  // namespace kelvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    kelvane::fuzz::check(std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}
