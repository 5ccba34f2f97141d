// initPlugin in each state the host can be in: it returns, and when it
// refuses it has shown why, in a message box or a log line.

#include "standin/check/check_workspace.h"
#include "standin/check/checks.h"
#include "standin/files/json_messages.h"
#include "standin/host/host_session.h"

namespace nimbrel::check {
namespace {

enum class Expect { MayRefuse, ShouldRefuse, MustAccept };

CheckResult initIn(CheckContext& context, Workspace workspace, const char* state, Expect expect) {
    applyDefaults(context.dialog(), workspace);
    const Workspace before = workspace;
    HostSession session(workspace);
    CheckedPlugin plugin = context.createPlugin();
    const bool accepted = context.initPlugin(plugin, state);
    if (auto fault = recordFault(before, workspace, session))
        throw CheckFailure(*fault + " (initPlugin in " + state + ")");
    const std::vector<HostEvent> shown = session.events();
    if (accepted) {
        // A host that is asked to go on calls execute: whatever the plug-in
        // accepted, it must then serve.
        const bool executed = context.execute(plugin, state);
        context.destroy(plugin);
        if (auto fault = recordFault(before, workspace, session))
            throw CheckFailure(*fault + " (execute in " + state + ")");
        const std::string ran = executed ? "accepted, and execute returned" : "accepted, and execute returned false";
        if (expect == Expect::ShouldRefuse)
            return warned(std::string("accepted ") + state + ": execute ran where the host is too old");
        return passed(ran);
    }
    context.destroy(plugin);
    if (expect == Expect::MustAccept) {
        const std::string why = shown.empty() ? "nothing shown" : "showing " + quotedExcerpt(shown.back().text);
        throw CheckFailure(std::string("refused ") + state + " (" + why + ")");
    }
    if (auto reason = shownReason(shown)) return passed("refused with " + *reason);
    throw CheckFailure(std::string("refused ") + state + " without showing why: no message box, no log line");
}

}  // namespace

CheckResult checkInitOldHost(CheckContext& context) {
    Workspace workspace = validVmrWorkspace();
    workspace.version = {2, 1, 9};
    return initIn(context, workspace, "a host of version 2.1.9", Expect::ShouldRefuse);
}

CheckResult checkInitNoDocument(CheckContext& context) {
    Workspace workspace = validVmrWorkspace();
    workspace.documents.clear();
    workspace.currentDocument = -1;
    workspace.maps.clear();
    return initIn(context, workspace, "no current document", Expect::MayRefuse);
}

CheckResult checkInitNotVmr(CheckContext& context) {
    Workspace workspace = validVmrWorkspace();
    workspace.documents.front().type = 1;  // FMR
    return initIn(context, workspace, "a current document that is not a VMR", Expect::MayRefuse);
}

CheckResult checkInitNoMaps(CheckContext& context) {
    Workspace workspace = validVmrWorkspace();
    workspace.maps.clear();
    return initIn(context, workspace, "a VMR without maps", Expect::MayRefuse);
}

CheckResult checkInitValidVmr(CheckContext& context) {
    return initIn(context, validVmrWorkspace(), "a valid VMR with maps", Expect::MustAccept);
}

}  // namespace nimbrel::check
