#include "standin/cli/run_nimbrel.h"

#include <csignal>
#include <exception>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <new>
#include <system_error>

#include "standin/base/activity.h"
#include "standin/cli/parameter_override.h"
#include "standin/cli/progress.h"
#include "standin/cli/run_outputs.h"
#include "standin/cli/run_report.h"
#include "standin/cli/dialog_use.h"
#include "standin/files/input_file.h"
#include "standin/base/native_path.h"
#include "standin/files/output_file.h"
#include "standin/files/workspace_json.h"
#include "standin/host/host_session.h"
#include "standin/plugin/dispatch_table.h"
#include "standin/plugin/module_kind.h"
#include "standin/plugin/plugin_location.h"
#include "standin/plugin/plugin_runner.h"
#include "standin/plugin/plugin_watch.h"

namespace nimbrel {
namespace {

// Writes what must be written after a run; false if something could not be.
bool writeOutputs(RunOutputs& outputs, const Workspace& workspace, const RunRecord& run, const DialogUse& dialog,
                  std::ostream& out, std::ostream& err) {
    // The outputs go together: after one that failed, the next is not written.
    if (outputs.wants(RunOutputs::Kind::Workspace) &&
        !outputs.write(RunOutputs::Kind::Workspace, workspaceText(workspace), out, err))
        return false;
    if (!outputs.wants(RunOutputs::Kind::Report)) return true;
    nlohmann::ordered_json report = reportJson(run);
    report["dialog"] = dialogJson(dialog);
    return outputs.write(RunOutputs::Kind::Report, dumpJson(report), out, err);
}

// The exit status that says how the plug-in's calls went.
int runStatus(const RunOutcome& outcome) {
    if (!outcome.created) return kExitBadPlugin;
    if (!outcome.initialised) return kExitInitPluginFalse;
    if (outcome.executed && !*outcome.executed) return kExitExecuteFalse;
    return kExitRan;
}

// The status once standard output is written: 4 when it could not be.
int finish(int status, std::ostream& out, const DescriptorOutput& standardOutput) {
    out.flush();
    if (const auto& reason = standardOutput.failure()) {
        // A reader that stopped reading ("| head -5") ends the output quietly, as with other tools.
        if (!standardOutput.closedByReader()) printError(std::cerr, "standard output: cannot write: " + *reason);
        // What the plug-in returned matters less than output that was lost.
        if (status == kExitRan || status == kExitBadPlugin || status >= kExitInitPluginFalse) return kExitCannotWrite;
    }
    return status;
}

// The plug-in module's absolute path, or none after saying it was not found.
std::optional<std::string> findPlugin(const CommandLine& options, const std::string& executable, std::ostream& err) {
    const std::string pluginPath = options.plugin ? absolutePath(*options.plugin) : defaultPluginPath(executable);
    std::error_code ignored;
    if (!pluginPath.empty() && std::filesystem::exists(nativePath(pluginPath), ignored)) return pluginPath;
    std::string looked;
    for (const std::string& candidate : defaultPluginCandidates(executable))
        looked += (looked.empty() ? "" : " or ") + candidate;
    printError(err,
               "plug-in not found: " + (options.plugin ? *options.plugin : looked + " (name one with --plugin PATH)"));
    return std::nullopt;
}

// The loaded module, or null after saying why it cannot be loaded.
std::unique_ptr<PluginModule> loadPlugin(const std::string& pluginPath, std::ostream& err) {
    std::string loadError;
    notePluginModule(pluginPath);
    markPluginCall("loading the module");
    std::unique_ptr<PluginModule> module = PluginModule::load(pluginPath, loadError);
    markPluginCall(nullptr);
    if (!module) printError(err, foreignModuleNote(pluginPath, "run", "--plugin").value_or(loadError));
    return module;
}

// What the run reads before the plug-in runs.
struct RunInputs {
    std::string pluginPath;
    PluginDescriptors descriptors;
    DialogUse dialog;
    DeclaredParameters declared;
    const DeclaredParameters* checked = nullptr;  // the script's declarations, when there is a script
    Workspace workspace;
    std::map<std::string, std::string> given;  // which parameters were given, and where
};

// Reads the dialog script: the exit status when it cannot be used, or when an
// output names an input.
std::optional<int> readDialog(const CommandLine& options, RunInputs& inputs, std::ostream& human, std::ostream& err,
                              const Marks& marks) {
    noteActivity("reading the dialog script");
    try {
        human << std::flush;
        inputs.dialog = findDialogScript(options, inputs.pluginPath, inputs.descriptors, err, marks);
    } catch (const DialogScriptError& e) {
        printError(err, e.what());
        return kExitBadDialog;
    }
    // The module and the script found beside it are inputs too.
    std::vector<RunInput> read{{"the plug-in module the run loads", inputs.pluginPath}};
    if (inputs.dialog.path) read.push_back({"the dialog script the run reads", *inputs.dialog.path});
    if (const auto refusal = outputNamingAnInput(options, read)) {
        printError(err, *refusal);
        return kExitBadArguments;
    }
    // The script's declarations check every parameter the workspace and
    // --param give; without a script they are taken as given.
    if (inputs.dialog.script) {
        inputs.declared = inputs.dialog.script->declared();
        inputs.checked = &inputs.declared;
    }
    return std::nullopt;
}

// Reads the workspace file and applies --param and the script's defaults: the
// exit status when one cannot be used.
std::optional<int> readWorkspace(const CommandLine& options, RunInputs& inputs, std::ostream& err) {
    Workspace& workspace = inputs.workspace;
    if (options.workspace) {
        noteActivity("reading the workspace " + inputName(*options.workspace));
        Progress reading(Progress::isTerminal(2));
        try {
            workspace = readWorkspaceFile(*options.workspace, inputs.checked, [&](std::size_t read, std::size_t total) {
                reading.tick([&] {
                    return "reading " + inputName(*options.workspace) + ": " + std::to_string(read * 100 / total) +
                           "% of " + std::to_string(total >> 20) + " MiB";
                });
            });
        } catch (const WorkspaceFileError& e) {
            printError(err, e.what());
            return kExitBadWorkspace;
        }
    }
    for (const auto& parameter : workspace.parameters) inputs.given[parameter.first] = "in the workspace";
    noteActivity("applying --param");
    for (const std::string& param : options.params) {
        try {
            applyAssignment(workspace, param, inputs.checked);
        } catch (const ParameterError& e) {
            printError(err, e.what());
            return kExitBadArguments;
        }
        inputs.given[splitAssignment(param).name] = "--param " + param;
    }
    if (inputs.dialog.script) {
        inputs.dialog.defaultsUsed = applyDialogDefaults(*inputs.dialog.script, workspace);
        inputs.dialog.warnings = valuesOutsideChoices(*inputs.dialog.script, workspace);
    }
    return std::nullopt;
}

// Where the run's human output goes: the printer (none with --quiet) on
// human, the trace and quiet messages on err.
struct RunDisplay {
    std::ostream& human;
    std::ostream& err;
    const Marks& marks;
    ConsolePrinter* printer;
    bool humanOnStandardOutput;
};

// The session's answers to the plug-in's events, drawn as they come.
void showSession(HostSession& session, Progress& running, const RunDisplay& display, bool trace, RunRecord& run) {
    session.onEvent = [&](const HostEvent& event) {
        if (display.printer) {
            display.printer->event(event);
        } else if (event.kind == HostEvent::Kind::Message) {
            // Quiet, a message box is still shown: it is how a plug-in tells of an error.
            display.human << std::flush;
            display.err << messageBoxText(event.text, display.marks) << std::flush;
        }
        running.tick([&] {
            return "running the plug-in: " + std::to_string(session.recordsSet().size()) + " map records set, " +
                   std::to_string(session.events().size() + session.eventsLeftOut()) + " log lines";
        });
    };
    session.onUnprovidedCall = [&, trace](const std::string& function) {
        run.unprovidedCalls.push_back(function);
        if (trace) {
            display.human << std::flush;
            display.err << tracePrefix(display.marks) << function << ": not provided by the stand-in, answers zero"
                        << std::endl;
        }
    };
}

// Runs the plug-in against the workspace, keeping what the reports say of it.
RunRecord runPluginOn(const CommandLine& options, const PluginModule& module, RunInputs& inputs,
                      const RunDisplay& display) {
    noteActivity("running the plug-in");
    RunRecord run;
    run.pluginPath = inputs.pluginPath;
    run.workspacePath = options.workspace;
    run.mapsBefore = inputs.workspace.maps;
    // While the report is not on the terminal, the terminal shows how far the run has come.
    Progress running(Progress::isTerminal(2) &&
                     (!display.printer || (display.humanOnStandardOutput && !Progress::isTerminal(1))));
    HostSession session(inputs.workspace);
    session.keepAtMost(kReportedEvents, kReportedCalls);
    showSession(session, running, display, options.trace, run);
    run.outcome = runPlugin(module, session, markPluginCall, [&](const PluginObject& plugin) {
        noteSlotsPastTheHosts(slotsPastTheHosts(module, plugin.address()));
    });
    run.events = session.events();
    run.eventsLeftOut = session.eventsLeftOut();
    run.calls = session.calls();
    run.callsLeftOut = session.callsLeftOut();
    run.redraws = session.redraws();
    run.warnings = inputs.dialog.warnings;
    for (ParameterWarning& warning : readingWarnings(inputs.given, inputs.workspace.parameters,
                                                     session.parametersRead(), run.outcome.executed.has_value()))
        run.warnings.push_back(std::move(warning));
    return run;
}

// The human report's end and the outputs after the run: the exit status.
int reportRun(const RunRecord& run, const RunInputs& inputs, RunOutputs& outputs, ConsolePrinter* printer,
              std::ostream& out, std::ostream& err) {
    noteActivity("printing the report");
    if (printer) {
        printer->outcome(run.outcome, run.redraws);
        printer->warnings(run.warnings);
        printer->maps(run.mapsBefore, run.mapsAfter);
    }
    const bool written = writeOutputs(outputs, inputs.workspace, run, inputs.dialog, out, err);
    // Quiet, the warnings are said on standard error.
    if (!printer)
        for (const ParameterWarning& warning : run.warnings) printWarning(err, warning.text);
    if (!run.outcome.created) printError(err, inputs.pluginPath + ": createPlugin returned null");
    // Quiet, the reason the run failed is the one thing said.
    if (!printer && run.outcome.created && !run.outcome.initialised)
        printError(err, "initPlugin returned false, so execute was not called");
    if (!printer && run.outcome.executed == std::optional<bool>(false)) printError(err, "execute returned false");
    return written ? runStatus(run.outcome) : kExitCannotWrite;
}

}  // namespace

int runNimbrel(const CommandLine& options, const std::string& executable, RunOutputs& outputs, std::ostream& out,
               std::ostream& err) {
    RunInputs inputs;
    const std::optional<std::string> pluginPath = findPlugin(options, executable, err);
    if (!pluginPath) return kExitBadPlugin;
    inputs.pluginPath = *pluginPath;
    std::unique_ptr<PluginModule> module = loadPlugin(inputs.pluginPath, err);
    if (!module) return kExitBadPlugin;
    markPluginCall("the descriptor functions");
    inputs.descriptors = module->descriptors();
    markPluginCall(nullptr);

    // With an output on standard output, the human output goes to standard error.
    const bool outputToStandardOutput =
        (options.reportJson && *options.reportJson == "-") || (options.saveWorkspace && *options.saveWorkspace == "-");
    std::ostream& human = outputToStandardOutput ? err : out;
    const Marks& marks = outputTakesUtf8() ? kUtf8Marks : kAsciiMarks;
    if (const auto failed = readDialog(options, inputs, human, err, marks)) return *failed;
    if (const auto failed = readWorkspace(options, inputs, err)) return *failed;

    std::unique_ptr<ConsolePrinter> printer;
    if (!options.quiet)
        printer = std::make_unique<ConsolePrinter>(human, marks, terminalColumns(&human == &out ? 1 : 2).value_or(0));
    if (printer) {
        printer->header(inputs.pluginPath,
                        options.workspace ? std::optional(inputName(*options.workspace)) : std::nullopt,
                        inputs.workspace, inputs.descriptors, inputs.checked != nullptr);
        printDialogUse(human, inputs.dialog, inputs.workspace, printer->width());
    }
    RunRecord run = runPluginOn(options, *module, inputs, {human, err, marks, printer.get(), &human == &out});
    run.mapsAfter = inputs.workspace.maps;
    markPluginCall("unloading the module");
    module.reset();
    markPluginCall(nullptr);
    return reportRun(run, inputs, outputs, printer.get(), out, err);
}

int nimbrelMain(int argc, char** argv, const CheckCommand& runCheck) {
#if !defined(_WIN32)
    // A file-size limit makes a write fail ("File too large"), reported as any other.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    DescriptorOutput standardOutput(1);
    std::ostream out(&standardOutput);
    // Whatever goes wrong in the stand-in itself ends in one line and status 5.
    auto guarded = [&](const std::function<int()>& part) {
        int status = kExitInternal;
        try {
            status = part();
        } catch (const std::bad_alloc&) {
            exitOutOfMemory(kExitOutOfMemory);
        } catch (const std::exception& e) {
            printError(std::cerr, std::string("unexpected failure: ") + e.what());
        } catch (...) {
            printError(std::cerr, "unexpected failure");
        }
        return finish(status, out, standardOutput);
    };
    std::variant<CommandLine, int> parsed = kExitInternal;
    const int answered = guarded([&] {
        parsed = parseCommandLine(argc, argv, out, std::cerr);
        return std::holds_alternative<int>(parsed) ? std::get<int>(parsed) : kExitRan;
    });
    if (!std::holds_alternative<CommandLine>(parsed)) return answered;
    const CommandLine& options = std::get<CommandLine>(parsed);
    const std::string executable = executablePath(argc > 0 ? argv[0] : nullptr);
    if (options.check) {
#if !defined(_WIN32)
        // A check's process meets its file-size limit with the signal.
        std::signal(SIGXFSZ, SIG_DFL);
#endif
        return runCheck(options, executable);
    }
    int status = kExitRan;
    {
        // Prepared here, in the process the user started, which alone puts them in place.
        RunOutputs outputs;
        std::optional<int> refused;
        status = guarded([&] {
            refused = outputs.prepare(options, std::cerr);
            return refused.value_or(kExitRan);
        });
        if (refused || status != kExitRan) return status;
        // On POSIX systems the run goes on in a child process from here.
        const WatchedRun run = runWatched(
            options.timeout.value_or(0.0),
            [&] { return guarded([&] { return runNimbrel(options, executable, outputs, out, std::cerr); }); },
            [&](int ended) { return guarded([&] { return outputs.commit(ended, std::cerr); }); },
            [](RunEnd end) { return exitStatusOf(end); });
        status = run.end == RunEnd::Finished ? run.status : exitStatusOf(run.end);
    }
    endAsStopped();
    return status;
}

}  // namespace nimbrel
