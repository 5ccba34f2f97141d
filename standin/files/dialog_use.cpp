#include "standin/files/dialog_use.h"

#include <filesystem>
#include <system_error>

#include "standin/cli/run_report.h"
#include "standin/files/native_path.h"

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

namespace {

// "PNB=7 is none of its choices, 0 to 2" for each int whose value has no label.
std::vector<std::string> valuesOutsideChoices(const DialogScript& script, const Workspace& workspace) {
    std::vector<std::string> warnings;
    for (const DialogParameter& p : script.parameters) {
        const auto given = workspace.parameters.find(p.name);
        if (p.choices.empty() || given == workspace.parameters.end() || given->second.kind != Parameter::Kind::Integer)
            continue;
        const int32_t value = given->second.integer;
        if (value < 0 || static_cast<std::size_t>(value) >= p.choices.size())
            warnings.push_back(p.name + "=" + std::to_string(value) + " is none of its choices, 0 to " +
                               std::to_string(p.choices.size() - 1) + "; the run goes on with it");
    }
    return warnings;
}

}  // namespace

void printDialogUse(std::ostream& out, const DialogUse& use, const Workspace& workspace) {
    out << "\nDialog script\n";
    if (!use.script) {
        out << "  none read (" << use.absence << ")\n" << std::flush;
        return;
    }
    const std::size_t declared = use.script->parameters.size();
    out << "  script      " << *use.path << ", " << declared << (declared == 1 ? " parameter" : " parameters") << "\n";
    const std::string label = "  defaults    ";
    if (use.defaultsUsed.empty()) {
        out << label << "none needed: the workspace sets every parameter the script declares\n";
    } else {
        std::vector<std::string> items;
        for (const std::string& name : use.defaultsUsed)
            items.push_back(name + "=" + parameterValueText(workspace.parameters.at(name)));
        out << label << wrapItems(items) << "\n";
    }
    for (const std::string& warning : valuesOutsideChoices(*use.script, workspace))
        out << "  warning     " << visible(warning) << "\n";
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
