#include "standin/cli/dialog_use.h"

#include <filesystem>
#include <system_error>

#include "standin/cli/run_report.h"
#include "standin/base/native_path.h"

namespace nimbrel {

DialogUse findDialogScript(const CommandLine& options, const std::string& pluginPath,
                           const PluginDescriptors& descriptors, std::ostream& trace, const Marks& marks) {
    DialogUse use;
    std::string path;
    if (options.noDialog) {
        use.absence = "--no-dialog";
        return use;
    }
    if (options.dialog) {
        path = *options.dialog;
    } else {
        path = dialogScriptBeside(pluginPath, descriptors.guiScript.value_or(""));
        std::error_code ignored;
        if (path.empty()) {
            use.absence = "the plug-in names none (getGUIScript)";
        } else if (!std::filesystem::exists(nativePath(path), ignored)) {
            use.absence = path + " does not exist";
            path.clear();
        }
        if (path.empty()) {
            if (options.trace)
                trace << tracePrefix(marks) << "dialog script: " << use.absence
                      << "; parameters the workspace does not set have no defaults" << std::endl;
            return use;
        }
    }
    use.script = readDialogScript(path);
    use.path = path;
    return use;
}

void printDialogUse(std::ostream& out, const DialogUse& use, const Workspace& workspace, std::size_t width) {
    auto put = [&](const std::string& line) { out << fitLines(line, width, kValueIndent) << "\n"; };
    out << "\nDialog script\n";
    if (!use.script) {
        put("  none read (" + visible(use.absence) + ")");
        out << std::flush;
        return;
    }
    const std::size_t declared = use.script->parameters.size();
    put("  script      " + visible(*use.path) + ", " + std::to_string(declared) +
        (declared == 1 ? " parameter" : " parameters"));
    const std::string label = "  defaults    ";
    if (use.defaultsUsed.empty()) {
        put(label + "none needed: the workspace sets every parameter the script declares");
    } else {
        std::vector<std::string> items;
        for (const std::string& name : use.defaultsUsed)
            items.push_back(name + "=" + parameterValueText(workspace.parameters.at(name)));
        put(label + wrapItems(items, width));
    }
    for (const ParameterWarning& warning : use.warnings) put("  warning     " + visible(warning.text));
    out << std::flush;
}

nlohmann::ordered_json dialogJson(const DialogUse& use) {
    nlohmann::ordered_json dialog;
    dialog["script"] = use.path ? nlohmann::ordered_json(*use.path) : nlohmann::ordered_json(nullptr);
    dialog["defaultsUsed"] = use.defaultsUsed;
    dialog["parametersChecked"] = use.script.has_value();
    return dialog;
}

}  // namespace nimbrel
