#include "standin/command_line.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <vector>

#include <CLI/CLI.hpp>

#include "standin/dialog_script.h"
#include "standin/host_session.h"
#include "standin/parameter_override.h"
#include "standin/plugin_runner.h"
#include "standin/run_report.h"
#include "standin/workspace_json.h"

#if defined(_WIN32)
#include <windows.h>
#endif

#ifndef KELVANE_VERSION
#define KELVANE_VERSION "unknown"
#endif

namespace nimbrel {
namespace {

namespace fs = std::filesystem;

const char* const kProgram = "Nimbrel.exe";

#if defined(_WIN32)
const char* const kPluginFileName = "Kelvane.dll";
#else
const char* const kPluginFileName = "Kelvane.so";
#endif

const char* const kPluginFolder = "Kelvane";

const char* const kExitStatusHelp =
    "Dialog parameters: those that neither the workspace nor --param sets take the defaults of the\n"
    "plug-in's dialog script (the file its getGUIScript names, beside the plug-in module).\n"
    "\n"
    "Exit status: 0 the plug-in ran (whatever initPlugin and execute returned); 1 bad workspace file;\n"
    "2 bad arguments or --param; 3 the plug-in cannot be loaded; 4 an output file cannot be written;\n"
    "5 an unexpected failure inside the stand-in; 6 the dialog script cannot be read or is not valid.\n"
    "\n"
    "Example:\n"
    "  Nimbrel.exe examples/default.json --param MinP=0.05 --report-json report.json";

void error(std::ostream& err, const std::string& message) {
    err << kProgram << ": error: " << message << std::endl;
}

// An absolute path, so that the system's loader does not search its own
// folders for a bare file name.
std::string absolutePath(const std::string& path) {
    std::error_code ignored;
    fs::path absolute = fs::absolute(path, ignored);
    return absolute.empty() ? path : absolute.lexically_normal().string();
}

const char* const kTrace = "  trace \xE2\x94\x82 ";

// What the run took from the plug-in's dialog script.
struct DialogUse {
    std::optional<std::string> path;  // none: no script was read
    std::string absence;              // why none was read: "--no-dialog", "<path> does not exist"
    std::size_t declared = 0;
    std::vector<std::string> defaultsUsed;
};

// The dialog script to read, if any; its path is empty when there is none.
// Throws DialogScriptError for a script that cannot be used.
DialogUse useDialogScript(const CommandLine& options, const std::string& pluginPath,
                          const PluginDescriptors& descriptors, Workspace& workspace, std::ostream& trace) {
    DialogUse use;
    std::string path;
    if (options.noDialog) {
        use.absence = "--no-dialog";
        return use;
    }
    if (options.dialog) {
        path = *options.dialog;
    } else {
        const std::string named = descriptors.guiScript.value_or("");
        path = dialogScriptBeside(pluginPath, named);
        std::error_code ignored;
        if (path.empty()) {
            use.absence = "the plug-in names none (getGUIScript)";
        } else if (!fs::exists(path, ignored)) {
            use.absence = path + " does not exist";
            path.clear();
        }
        if (path.empty()) {
            if (options.trace)
                trace << kTrace << "dialog script: " << use.absence
                      << "; parameters the workspace does not set have no defaults" << std::endl;
            return use;
        }
    }
    DialogScript script = readDialogScript(path);
    use.path = path;
    use.declared = script.parameters.size();
    use.defaultsUsed = applyDialogDefaults(script, workspace);
    return use;
}

// The human report's account of the dialog script, after the descriptors.
void printDialogUse(std::ostream& out, const DialogUse& use, const Workspace& workspace) {
    out << "\nDialog script\n";
    if (!use.path) {
        out << "  none read (" << use.absence << ")\n" << std::flush;
        return;
    }
    out << "  script      " << *use.path << ", " << use.declared << (use.declared == 1 ? " parameter" : " parameters")
        << "\n";
    std::string line = "  defaults    ";
    if (use.defaultsUsed.empty()) {
        out << line << "none needed: the workspace sets every parameter the script declares\n" << std::flush;
        return;
    }
    std::vector<std::string> items;
    for (const std::string& name : use.defaultsUsed)
        items.push_back(name + "=" + parameterValueText(workspace.parameters.at(name)));
    out << line << wrapItems(items) << "\n" << std::flush;
}

nlohmann::ordered_json dialogJson(const DialogUse& use) {
    nlohmann::ordered_json dialog;
    dialog["script"] = use.path ? nlohmann::ordered_json(*use.path) : nlohmann::ordered_json(nullptr);
    dialog["defaultsUsed"] = use.defaultsUsed;
    return dialog;
}

bool writeTextFile(const std::string& path, const std::string& text, std::ostream& err) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (file) file << text;
    if (file) file.close();
    if (!file) {
        error(err, path + ": cannot write the report");
        return false;
    }
    return true;
}

// Writes what must be written after a run; false if something could not be.
bool writeOutputs(const CommandLine& options, const Workspace& workspace, const RunRecord& run, const DialogUse& dialog,
                  std::ostream& out, std::ostream& err) {
    bool written = true;
    if (options.saveWorkspace) {
        try {
            writeWorkspaceFile(workspace, *options.saveWorkspace);
        } catch (const WorkspaceFileError& e) {
            error(err, e.what());
            written = false;
        }
    }
    if (options.reportJson) {
        nlohmann::ordered_json report = reportJson(run);
        report["dialog"] = dialogJson(dialog);
        const std::string text = dumpJson(report);
        if (*options.reportJson == "-")
            out << text << std::flush;
        else
            written = writeTextFile(*options.reportJson, text, err) && written;
    }
    return written;
}

}  // namespace

std::variant<CommandLine, int> parseCommandLine(int argc, const char* const* argv, std::ostream& out,
                                                std::ostream& err) {
    CommandLine options;
    std::string workspace, plugin, dialog, saveWorkspace, reportJson;

    CLI::App app{
        "Nimbrel.exe: the stand-in host. Loads a plug-in of this family, runs it against a workspace file\n"
        "as the host application would (initPlugin, then execute), prints its log and message boxes as they\n"
        "come and, at the end, the maps' parameters before and after.",
        kProgram};
    app.get_formatter()->column_width(30);
    // A path such as /data/ws.json is a path on every system, never an option.
    app.allow_windows_style_options(false);
    app.add_option("WORKSPACE.json", workspace,
                   "Workspace file: host version, documents, the current VMR's maps, dialog parameters.\n"
                   "Without one the plug-in runs against an empty workspace.")
        ->type_name("");
    app.add_option("--plugin", plugin,
                   std::string("Plug-in module to run (default: ") + kPluginFileName + " in ../plugins/" +
                       kPluginFolder + "/ as installed,\nor in ../plugin/ as built, from this executable's folder)")
        ->type_name("PATH");
    app.add_option("--dialog", dialog,
                   "Dialog script whose defaults the parameters take that neither the workspace nor\n"
                   "--param sets (default: the script the plug-in names, beside the plug-in module)")
        ->type_name("PATH");
    app.add_flag("--no-dialog", options.noDialog,
                 "Read no dialog script: a parameter the workspace does not set reads as 0 or empty");
    app.add_option("--param", options.params,
                   "Set a dialog parameter, overriding the workspace file (repeatable). A parameter that\n"
                   "the file or the dialog script has keeps its kind; a new one is an integer, else a float,\n"
                   "else a text.")
        ->type_name("NAME=VALUE")
        ->allow_extra_args(false);
    app.add_option("--save-workspace", saveWorkspace, "Write the workspace, as the run left it, to FILE")
        ->type_name("FILE");
    app.add_option("--report-json", reportJson,
                   "Write a JSON report of the run to FILE ('-' for standard output; the human\n"
                   "output then goes to standard error)")
        ->type_name("FILE");
    app.add_flag("--trace", options.trace,
                 "Print to standard error every host function the plug-in calls that the stand-in\n"
                 "does not provide (it answers zero), and why no dialog script was read");
    app.add_flag("--quiet", options.quiet, "Print nothing but errors (and the report to '-')");
    app.set_version_flag("--version",
                         std::string(kProgram) + " " + KELVANE_VERSION + ", the stand-in host for Kelvane plug-ins");
    app.footer(kExitStatusHelp);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e, out, err);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e, out, err);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e, out, err);
    } catch (const CLI::ParseError& e) {
        error(err, std::string(e.what()) + " (see --help)");
        return kExitBadArguments;
    }

    auto given = [&app](const char* name) { return app.get_option(name)->count() > 0; };
    if (given("WORKSPACE.json")) options.workspace = workspace;
    if (given("--plugin")) options.plugin = plugin;
    if (given("--dialog")) options.dialog = dialog;
    if (options.dialog && options.noDialog) {
        error(err, "--dialog and --no-dialog cannot be given together (see --help)");
        return kExitBadArguments;
    }
    if (given("--save-workspace")) options.saveWorkspace = saveWorkspace;
    if (given("--report-json")) options.reportJson = reportJson;

    // The form of each --param is checked before anything is read.
    for (const std::string& param : options.params) {
        try {
            splitAssignment(param);
        } catch (const ParameterError& e) {
            error(err, e.what());
            return kExitBadArguments;
        }
    }
    return options;
}

std::string executablePath(const char* argv0) {
#if defined(_WIN32)
    char path[MAX_PATH * 4];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length > 0 && length < sizeof path) return std::string(path, length);
#else
    std::error_code failed;
    fs::path self = fs::read_symlink("/proc/self/exe", failed);
    if (!failed && !self.empty()) return self.string();
#endif
    return absolutePath(argv0 != nullptr ? argv0 : kProgram);
}

std::vector<std::string> defaultPluginCandidates(const std::string& executable) {
    const fs::path prefix = fs::path(executable).parent_path() / "..";
    return {(prefix / "plugins" / kPluginFolder / kPluginFileName).lexically_normal().string(),
            (prefix / "plugin" / kPluginFileName).lexically_normal().string()};
}

std::string defaultPluginPath(const std::string& executable) {
    for (const std::string& candidate : defaultPluginCandidates(executable)) {
        std::error_code ignored;
        if (fs::is_regular_file(candidate, ignored)) return candidate;
    }
    return "";
}

int runNimbrel(const CommandLine& options, const std::string& executable, std::ostream& out, std::ostream& err) {
    Workspace workspace;
    if (options.workspace) {
        try {
            workspace = readWorkspaceFile(*options.workspace);
        } catch (const WorkspaceFileError& e) {
            error(err, e.what());
            return kExitBadWorkspace;
        }
    }

    const std::string pluginPath = options.plugin ? absolutePath(*options.plugin) : defaultPluginPath(executable);
    std::error_code ignored;
    if (pluginPath.empty() || !fs::exists(pluginPath, ignored)) {
        std::string looked;
        for (const std::string& candidate : defaultPluginCandidates(executable))
            looked += (looked.empty() ? "" : " or ") + candidate;
        error(err,
              "plug-in not found: " + (options.plugin ? *options.plugin : looked + " (name one with --plugin PATH)"));
        return kExitBadPlugin;
    }
    std::string loadError;
    std::unique_ptr<PluginModule> module = PluginModule::load(pluginPath, loadError);
    if (!module) {
        error(err, loadError);
        return kExitBadPlugin;
    }
    const PluginDescriptors descriptors = module->descriptors();

    // With the report on standard output, the human output goes to standard error.
    std::ostream& human = options.reportJson && *options.reportJson == "-" ? err : out;

    // The dialog's defaults come before --param, so that a parameter the
    // script declares keeps the script's type when --param sets it.
    DialogUse dialog;
    try {
        human << std::flush;
        dialog = useDialogScript(options, pluginPath, descriptors, workspace, err);
    } catch (const DialogScriptError& e) {
        error(err, e.what());
        return kExitBadDialog;
    }
    for (const std::string& param : options.params) {
        try {
            applyAssignment(workspace, param);
        } catch (const ParameterError& e) {
            error(err, e.what());
            return kExitBadArguments;
        }
        // A parameter that --param sets took no default after all.
        const std::string name = splitAssignment(param).name;
        dialog.defaultsUsed.erase(std::remove(dialog.defaultsUsed.begin(), dialog.defaultsUsed.end(), name),
                                  dialog.defaultsUsed.end());
    }

    std::unique_ptr<ConsolePrinter> printer;
    if (!options.quiet) printer = std::make_unique<ConsolePrinter>(human);
    if (printer) {
        printer->header(pluginPath, options.workspace, workspace, descriptors);
        printDialogUse(human, dialog, workspace);
    }

    RunRecord run;
    run.pluginPath = pluginPath;
    run.workspacePath = options.workspace;
    run.mapsBefore = workspace.maps;
    {
        HostSession session(workspace);
        if (printer) session.onEvent = [&printer](const HostEvent& event) { printer->event(event); };
        session.onUnprovidedCall = [&](const std::string& function) {
            run.unprovidedCalls.push_back(function);
            if (options.trace) {
                human << std::flush;
                err << kTrace << function << ": not provided by the stand-in, answers zero" << std::endl;
            }
        };
        run.outcome = runPlugin(*module, session);
        run.events = session.events();
        run.calls = session.calls();
        run.redraws = session.redraws();
    }
    run.mapsAfter = workspace.maps;

    if (printer) {
        printer->outcome(run.outcome, run.redraws);
        printer->maps(run.mapsBefore, run.mapsAfter);
    }
    const bool written = writeOutputs(options, workspace, run, dialog, out, err);
    if (!run.outcome.created) {
        error(err, pluginPath + ": createPlugin returned null");
        return kExitBadPlugin;
    }
    return written ? kExitRan : kExitCannotWrite;
}

int nimbrelMain(int argc, char** argv) {
    try {
        auto parsed = parseCommandLine(argc, argv, std::cout, std::cerr);
        if (const int* status = std::get_if<int>(&parsed)) return *status;
        return runNimbrel(std::get<CommandLine>(parsed), executablePath(argc > 0 ? argv[0] : nullptr), std::cout,
                          std::cerr);
    } catch (const std::exception& e) {
        error(std::cerr, std::string("unexpected failure: ") + e.what());
    } catch (...) {
        error(std::cerr, "unexpected failure");
    }
    return kExitInternal;
}

}  // namespace nimbrel
