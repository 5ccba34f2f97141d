// execute in a host that lacks one of the host functions: a copy of this
// stand-in whose export of that function cannot be found, one copy and one
// process per function the stand-in serves. The plug-in may refuse in
// initPlugin; it must return, and touch only what the host hands it.

#include <filesystem>
#include <stdexcept>

#include "standin/check/check_workspace.h"
#include "standin/check/checks.h"
#include "standin/base/native_path.h"
#include "standin/host/host_exports.h"
#include "standin/host/host_lacking.h"

namespace nimbrel::check {
namespace {

namespace fs = std::filesystem;

// A folder of the temporary folder, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder() : path_(nativePath(uniqueTemporaryPath("nimbrel-lacking"))) { fs::create_directories(path_); }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

const char* const kRefused = "refused in initPlugin";

}  // namespace

CheckResult runInHostLacking(CheckContext& context) {
    Workspace workspace = validVmrWorkspace();
    applyDefaults(context.dialog(), workspace);
    const Workspace before = workspace;
    HostSession session(workspace);
    CheckedPlugin plugin = context.createPlugin();
    const bool accepted = context.initPlugin(plugin);
    if (accepted) context.execute(plugin);
    context.destroy(plugin);
    if (auto fault = recordFault(before, workspace, session)) throw CheckFailure(*fault);
    return passed(accepted ? "executed" : kRefused);
}

CheckResult checkExecuteHostFunctionsMissing(CheckContext& context) {
    const ScratchFolder folder;
    const CheckDefinition& run = *findCheck("run-in-host-lacking");
    int hosts = 0, refusals = 0;
    std::string warning;
    for (const ExportedHostFunction& function : exportedHostFunctions()) {
        if (!function.served) continue;
        const std::string lacking = "a host that lacks " + function.name;
        context.channel().calling("writing " + lacking);
        // Each copy in a folder of its own, so that a process the plug-in left
        // running on an earlier one does not stand in the way; each keeps the
        // host's file name, the module the plug-in looks for.
        const fs::path copyFolder = folder.path() / nativePath(function.name);
        std::error_code ignored;
        fs::create_directories(copyFolder, ignored);
        const std::string copy = utf8Path(copyFolder / nativePath(context.hostPath()).filename());
        try {
            writeHostLacking(context.hostPath(), function.name, copy);
        } catch (const std::runtime_error& e) {
            throw CheckFailure("the stand-in cannot make " + lacking + ": " + e.what());
        }
        context.channel().calling("initPlugin and execute in " + lacking);
        const CheckOutcome outcome = runCheckProcess(copy, run, context.pluginPath(), context.timeLimit());
        fs::remove(nativePath(copy), ignored);
        if (outcome.status == Status::Fail) throw CheckFailure("in " + lacking + ": " + outcome.reason);
        if (outcome.status == Status::Warning && warning.empty()) warning = "in " + lacking + ": " + outcome.reason;
        ++hosts;
        refusals += outcome.reason.rfind(kRefused, 0) == 0;
    }
    const std::string outcome = std::to_string(hosts) + " hosts, each lacking one function, " +
                                std::to_string(refusals) +
                                " refused in initPlugin; every run returned and touched only its records";
    if (!warning.empty()) return warned(outcome + "; but " + warning);
    return passed(outcome);
}

}  // namespace nimbrel::check
