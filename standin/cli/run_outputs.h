#pragma once
// The files one run writes (--save-workspace, --report-json). The process
// the user started checks and prepares them before the run (an output never
// replaces what the run reads, and one that cannot be written is named before
// the run starts); the run, in whichever process it goes on, fills them; the
// process the user started puts them in place once the run has ended, all of
// them or, when one could not be written, none.

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "standin/cli/command_line.h"
#include "standin/files/output_file.h"

namespace nimbrel {

// An input a run reads: what it is ("the workspace the run reads") and its path.
struct RunInput {
    const char* what;
    std::string path;
};

// The line that refuses an output naming one of the inputs ("--report-json
// ws.json names the workspace the run reads: give the report a file of its
// own (see --help)"); none when no output does. The workspace may be the
// --save-workspace: that is an update in place.
std::optional<std::string> outputNamingAnInput(const CommandLine& options, const std::vector<RunInput>& inputs);

// The inputs the command line names: the workspace, --plugin, --dialog.
std::vector<RunInput> namedInputs(const CommandLine& options);

class RunOutputs {
public:
    enum class Kind { Workspace, Report };

    // Checks and prepares the outputs the command line names; on failure
    // prints why and gives the status: kExitBadArguments for an output that
    // names an input, kExitCannotWrite for one that cannot be written.
    std::optional<int> prepare(const CommandLine& options, std::ostream& err);
    // Whether the command line asks for that output.
    bool wants(Kind kind) const { return paths_[static_cast<int>(kind)].has_value(); }
    // Writes one output: to out for "-", else into its prepared file; false,
    // with why printed, when it could not be written whole.
    bool write(Kind kind, const std::string& text, std::ostream& out, std::ostream& err);
    // Once the run has ended with status: puts every written output in place
    // when all were written, none otherwise; the status then (kExitCannotWrite
    // for an output that could not be put in place).
    int commit(int status, std::ostream& err);

private:
    struct Output {
        Kind kind;
        std::unique_ptr<PendingFile> file;
    };
    std::vector<Output> files_;
    std::optional<std::string> paths_[2];  // by kind, as given ("-" too)
};

// "the workspace", "the report".
const char* outputName(RunOutputs::Kind kind);

}  // namespace nimbrel
