// execute after a successful initPlugin, with the dialog's defaults and under
// each of the stand-in's hostile modes: it returns, writes nothing outside the
// records the host hands it, and hands no map another map's record.

#include <cmath>
#include <functional>
#include <limits>
#include <set>

#include "standin/check/check_workspace.h"
#include "standin/check/checks.h"
#include "standin/host/host_session.h"

namespace nimbrel::check {
namespace {

struct ExecuteCase {
    std::string what;                             // the case, named in the call that runs and in a failure
    std::function<void(Workspace&)> makeHostile;  // on a valid VMR with the dialog's defaults
    bool withDefaults = true;
    bool hostile = true;  // initPlugin may refuse it, showing why
};

// Runs every case in a fresh object: createPlugin, initPlugin, execute,
// destroy; then looks at what it did to the host's maps. initPlugin must
// accept the dialog's defaults; in a hostile case it may refuse, when it shows
// why: that is an answer the user can act on.
// The dialog parameters the runs read go to read, when given.
CheckResult executeCases(CheckContext& context, const std::vector<ExecuteCase>& cases,
                         std::set<std::string>* read = nullptr) {
    std::set<std::string> unprovided;
    int returnedFalse = 0, refused = 0;
    for (const ExecuteCase& c : cases) {
        Workspace workspace = validVmrWorkspace();
        if (c.withDefaults) applyDefaults(context.dialog(), workspace);
        c.makeHostile(workspace);
        const Workspace before = workspace;
        HostSession session(workspace);
        session.onUnprovidedCall = [&unprovided](const std::string& function) { unprovided.insert(function); };
        CheckedPlugin plugin = context.createPlugin(c.what);
        const bool accepted = context.initPlugin(plugin, c.what);
        if (auto fault = recordFault(before, workspace, session))
            throw CheckFailure(*fault + " (initPlugin, " + c.what + ")");
        if (accepted) {
            returnedFalse += !context.execute(plugin, c.what);
        } else if (!c.hostile) {
            throw CheckFailure("initPlugin refused a valid VMR with maps (" + c.what + ")");
        } else if (!shownReason(session.events())) {
            throw CheckFailure("initPlugin refused " + c.what + " without showing why: no message box, no log line");
        } else {
            ++refused;
        }
        context.destroy(plugin, c.what);
        if (auto fault = recordFault(before, workspace, session)) throw CheckFailure(*fault + " (" + c.what + ")");
        if (read != nullptr) read->insert(session.parametersRead().begin(), session.parametersRead().end());
    }
    const std::size_t executed = cases.size() - static_cast<std::size_t>(refused);
    std::string outcome = std::to_string(executed) + (executed == 1 ? " run" : " runs") + " returned";
    if (returnedFalse > 0) outcome += " (" + std::to_string(returnedFalse) + " with false)";
    if (refused > 0) outcome += ", " + std::to_string(refused) + " refused in initPlugin, showing why";
    outcome += "; no byte outside its records written, no record handed to another map";
    if (!unprovided.empty()) {
        std::string names;
        for (const std::string& name : unprovided) names += (names.empty() ? "" : ", ") + name;
        return warned(outcome + "; but it called host functions the stand-in does not provide: " + names);
    }
    return passed(outcome);
}

ExecuteCase mapCount(int32_t count) {
    return {"map count " + std::to_string(count), [count](Workspace& w) { w.hostile.reportedMapCount = count; }};
}

ExecuteCase documentCount(int32_t count) {
    return {"document count " + std::to_string(count),
            [count](Workspace& w) { w.hostile.reportedDocumentCount = count; }};
}

ExecuteCase randomNulls(uint32_t seed) {
    return {"records refused at random, seed " + std::to_string(seed), [seed](Workspace& w) {
                w.hostile.randomNullRecords = RandomNullRecords{seed, 0.5};
            }};
}

}  // namespace

// The dialog's defaults, then the same with every switch it declares on, so
// that options off by default (Kelvane's UseExactT among them) run too.
CheckResult checkExecuteDefaults(CheckContext& context) {
    std::vector<std::string> switches;
    if (const std::optional<DialogScript>& dialog = context.dialog())
        for (const DialogParameter& p : dialog->parameters)
            if (p.type == DialogType::Switch) switches.push_back(p.name);
    std::vector<ExecuteCase> cases{{"the dialog's defaults", [](Workspace&) {}, true, false}};
    if (!switches.empty())
        cases.push_back({"the dialog's defaults with every switch on",
                         [switches](Workspace& w) {
                             for (const std::string& name : switches) w.parameters[name] = Parameter::ofInteger(1);
                         },
                         true, false});
    std::set<std::string> read;
    const CheckResult result = executeCases(context, cases, &read);
    // A declared parameter that is never read is a dialog setting that does nothing.
    std::string unread;
    if (const std::optional<DialogScript>& dialog = context.dialog()) {
        for (const DialogParameter& p : dialog->parameters)
            if (read.count(p.name) == 0) unread += (unread.empty() ? "" : ", ") + p.name;
    }
    if (unread.empty() || result.status != Status::Pass) return result;
    return warned(result.reason + "; but no run read " + unread + ", which the dialog script declares");
}

CheckResult checkExecuteNullRecords(CheckContext& context) {
    return executeCases(context, {{"null records at indices 0, 2 and 4", [](Workspace& w) {
                                       w.hostile.nullRecordIndices = {0, kCheckMapCount / 2, kCheckMapCount - 1};
                                   }}});
}

CheckResult checkExecuteRandomNullRecords(CheckContext& context) {
    return executeCases(context, {randomNulls(1), randomNulls(2), randomNulls(3), randomNulls(4), randomNulls(5)});
}

CheckResult checkExecuteMapCounts(CheckContext& context) {
    return executeCases(context, {mapCount(-1), mapCount(0), mapCount(100000)});
}

CheckResult checkExecuteUnterminatedStrings(CheckContext& context) {
    return executeCases(context,
                        {{"unterminated 512-byte texts", [](Workspace& w) { w.hostile.unterminatedStrings = true; }}});
}

CheckResult checkExecuteParametersNeverSet(CheckContext& context) {
    ExecuteCase neverSet{"no parameter set", [](Workspace&) {}};
    neverSet.withDefaults = false;
    return executeCases(context, {neverSet});
}

CheckResult checkExecuteNonFiniteFloats(CheckContext& context) {
    const std::optional<DialogScript>& dialog = context.dialog();
    std::vector<std::string> floats;
    if (dialog)
        for (const DialogParameter& p : dialog->parameters)
            if (p.type == DialogType::Float) floats.push_back(p.name);
    if (floats.empty()) return passed("the dialog declares no float parameter");
    std::vector<ExecuteCase> cases;
    for (float value : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                        -std::numeric_limits<float>::infinity()}) {
        const std::string text = std::isnan(value) ? "NaN" : value > 0 ? "Infinity" : "-Infinity";
        cases.push_back({"every float parameter " + text, [floats, value](Workspace& w) {
                             for (const std::string& name : floats) w.parameters[name] = Parameter::ofFloat(value);
                         }});
    }
    return executeCases(context, cases);
}

CheckResult checkExecuteNullMapNames(CheckContext& context) {
    return executeCases(context, {{"null name pointers", [](Workspace& w) { w.hostile.nullMapNames = true; }}});
}

CheckResult checkExecuteMapCreationFails(CheckContext& context) {
    return executeCases(context, {{"map creation failing", [](Workspace& w) { w.hostile.mapCreationFails = true; }}});
}

CheckResult checkExecuteDocumentCounts(CheckContext& context) {
    return executeCases(context, {documentCount(-1), documentCount(0), documentCount(1000)});
}

}  // namespace nimbrel::check
