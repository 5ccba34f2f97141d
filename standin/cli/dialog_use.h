#pragma once
// What a run takes from the plug-in's dialog script: which script, and the
// defaults it gave the parameters that nothing else set.

#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "standin/cli/command_line.h"
#include "standin/cli/terminal_text.h"
#include "standin/files/dialog_script.h"
#include "standin/files/parameter_warnings.h"
#include "standin/host/workspace.h"
#include "standin/plugin/plugin_runner.h"

namespace nimbrel {

struct DialogUse {
    std::optional<std::string> path;  // none: no script was read
    std::string absence;              // why none was read: "--no-dialog", "<path> does not exist"
    std::optional<DialogScript> script;
    std::vector<std::string> defaultsUsed;
    std::vector<ParameterWarning> warnings;  // the values outside their choices
};

// Finds and reads the dialog script the command line asks for: --dialog, none
// with --no-dialog, else the one the plug-in names beside the module (none
// when it does not exist; --trace says so on trace, drawn with marks). Throws
// DialogScriptError for a script that cannot be used.
DialogUse findDialogScript(const CommandLine& options, const std::string& pluginPath,
                           const PluginDescriptors& descriptors, std::ostream& trace, const Marks& marks);

// The human report's account of the dialog script, after the descriptors,
// its lines fitted to width columns (0: any width).
void printDialogUse(std::ostream& out, const DialogUse& use, const Workspace& workspace, std::size_t width = 0);

// The JSON report's "dialog" object.
nlohmann::ordered_json dialogJson(const DialogUse& use);

}  // namespace nimbrel
