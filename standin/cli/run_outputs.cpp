#include "standin/cli/run_outputs.h"

#include <algorithm>

#include "standin/base/activity.h"
#include "standin/cli/exit_status.h"
#include "standin/plugin/plugin_watch.h"

namespace nimbrel {
namespace {

const char* const kTheWorkspace = "the workspace the run reads";

const char* optionOf(RunOutputs::Kind kind) {
    return kind == RunOutputs::Kind::Workspace ? "--save-workspace" : "--report-json";
}

const std::optional<std::string>& pathOf(const CommandLine& options, RunOutputs::Kind kind) {
    return kind == RunOutputs::Kind::Workspace ? options.saveWorkspace : options.reportJson;
}

constexpr RunOutputs::Kind kKinds[] = {RunOutputs::Kind::Workspace, RunOutputs::Kind::Report};

}  // namespace

const char* outputName(RunOutputs::Kind kind) {
    return kind == RunOutputs::Kind::Workspace ? "the workspace" : "the report";
}

std::vector<RunInput> namedInputs(const CommandLine& options) {
    std::vector<RunInput> inputs;
    if (options.workspace) inputs.push_back({kTheWorkspace, *options.workspace});
    if (options.plugin) inputs.push_back({"the plug-in module the run loads", *options.plugin});
    if (options.dialog) inputs.push_back({"the dialog script the run reads", *options.dialog});
    return inputs;
}

std::optional<std::string> outputNamingAnInput(const CommandLine& options, const std::vector<RunInput>& inputs) {
    for (RunOutputs::Kind kind : kKinds) {
        const std::optional<std::string>& path = pathOf(options, kind);
        if (!path || *path == "-") continue;
        for (const RunInput& input : inputs) {
            // Saving the workspace the run read updates it in place.
            if (input.path == "-" || (kind == RunOutputs::Kind::Workspace && input.what == kTheWorkspace)) continue;
            if (sameFile(*path, input.path))
                return std::string(optionOf(kind)) + " " + *path + " names " + input.what + ": give " +
                       outputName(kind) + " a file of its own (see --help)";
        }
    }
    return std::nullopt;
}

std::optional<int> RunOutputs::prepare(const CommandLine& options, std::ostream& err) {
    if (const auto refusal = outputNamingAnInput(options, namedInputs(options))) {
        printError(err, *refusal);
        return kExitBadArguments;
    }
    for (Kind kind : kKinds) {
        const std::optional<std::string>& path = pathOf(options, kind);
        paths_[static_cast<int>(kind)] = path;
        if (!path || *path == "-") continue;
        std::string reason;
        std::unique_ptr<PendingFile> file = PendingFile::prepare(*path, reason);
        if (!file) {
            printError(err, *path + ": cannot write " + outputName(kind) + ": " + reason);
            return kExitCannotWrite;
        }
        files_.push_back({kind, std::move(file)});
    }
    return std::nullopt;
}

bool RunOutputs::write(Kind kind, const std::string& text, std::ostream& out, std::ostream& err) {
    const std::optional<std::string>& path = paths_[static_cast<int>(kind)];
    if (!path) return true;
    noteActivity(std::string("writing ") + outputName(kind) + " to " + (*path == "-" ? "standard output" : *path));
    endIfWatcherGone();
    if (*path == "-") {
        out << text << std::flush;
        return true;
    }
    const auto output = std::find_if(files_.begin(), files_.end(), [kind](const Output& o) { return o.kind == kind; });
    if (output == files_.end()) return false;
    if (const auto reason = output->file->fill(text)) {
        printError(err, *path + ": cannot write " + outputName(kind) + ": " + *reason);
        return false;
    }
    return true;
}

int RunOutputs::commit(int status, std::ostream& err) {
    const auto written = std::count_if(files_.begin(), files_.end(), [](const Output& o) { return o.file->filled(); });
    if (written == 0) return status;
    if (static_cast<std::size_t>(written) < files_.size()) {
        for (const Output& output : files_)
            if (output.file->filled())
                printError(err, output.file->path() + ": " + outputName(output.kind) +
                                    " was not written either: the outputs of a run are written together or not at "
                                    "all");
        return kExitCannotWrite;
    }
    for (const Output& output : files_)
        if (const auto reason = output.file->commit()) {
            printError(err, output.file->path() + ": cannot write " + outputName(output.kind) + ": " + *reason);
            status = kExitCannotWrite;
        }
    return status;
}

}  // namespace nimbrel
