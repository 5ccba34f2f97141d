#include "standin/command_line.h"

#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>

#include <CLI/CLI.hpp>

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

const char* const kExitStatusHelp =
    "Exit status: 0 the plug-in ran (whatever initPlugin and execute returned); 1 bad workspace file;\n"
    "2 bad arguments or --param; 3 the plug-in cannot be loaded; 4 an output file cannot be written;\n"
    "5 an unexpected failure inside the stand-in.\n"
    "\n"
    "Example:\n"
    "  Nimbrel.exe examples/default.json --param MinP=0.05 --report-json report.json";

void error(std::ostream& err, const std::string& message) { err << kProgram << ": error: " << message << std::endl; }

// An absolute path, so that the system's loader does not search its own
// folders for a bare file name.
std::string absolutePath(const std::string& path) {
    std::error_code ignored;
    fs::path absolute = fs::absolute(path, ignored);
    return absolute.empty() ? path : absolute.lexically_normal().string();
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
bool writeOutputs(const CommandLine& options, const Workspace& workspace, const RunRecord& run, std::ostream& out,
                  std::ostream& err) {
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
        const std::string text = dumpJson(reportJson(run));
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
    std::string workspace, plugin, saveWorkspace, reportJson;

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
                   std::string("Plug-in module to run (default: ../plugin/") + kPluginFileName +
                       " beside the folder of this executable)")
        ->type_name("PATH");
    app.add_option("--param", options.params,
                   "Set a dialog parameter, overriding the workspace file (repeatable). A parameter the file\n"
                   "has keeps its kind; a new one is an integer, else a float, else a text.")
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
                 "does not provide (it answers zero)");
    app.add_flag("--quiet", options.quiet, "Print nothing but errors (and the report to '-')");
    app.set_version_flag("--version", std::string(kProgram) + " " + KELVANE_VERSION +
                                          ", the stand-in host for Kelvane plug-ins");
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

std::string defaultPluginPath(const std::string& executable) {
    fs::path folder = fs::path(executable).parent_path();
    return (folder / ".." / "plugin" / kPluginFileName).lexically_normal().string();
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
    for (const std::string& param : options.params) {
        try {
            applyAssignment(workspace, param);
        } catch (const ParameterError& e) {
            error(err, e.what());
            return kExitBadArguments;
        }
    }

    const std::string pluginPath = options.plugin ? absolutePath(*options.plugin) : defaultPluginPath(executable);
    std::error_code ignored;
    if (!fs::exists(pluginPath, ignored)) {
        error(err, "plug-in not found: " + (options.plugin ? *options.plugin : pluginPath + " (name one with --plugin PATH)"));
        return kExitBadPlugin;
    }
    std::string loadError;
    std::unique_ptr<PluginModule> module = PluginModule::load(pluginPath, loadError);
    if (!module) {
        error(err, loadError);
        return kExitBadPlugin;
    }

    // With the report on standard output, the human output goes to standard error.
    std::ostream& human = options.reportJson && *options.reportJson == "-" ? err : out;
    std::unique_ptr<ConsolePrinter> printer;
    if (!options.quiet) printer = std::make_unique<ConsolePrinter>(human);
    if (printer) printer->header(pluginPath, options.workspace, workspace, module->descriptors());

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
                err << "  trace \xE2\x94\x82 " << function << ": not provided by the stand-in, answers zero"
                    << std::endl;
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
    const bool written = writeOutputs(options, workspace, run, out, err);
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
