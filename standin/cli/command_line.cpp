#include "standin/cli/command_line.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>

#include <CLI/CLI.hpp>

#include "standin/cli/parameter_override.h"
#include "standin/cli/terminal_text.h"
#include "standin/files/output_file.h"
#include "standin/plugin/plugin_location.h"

#ifndef KELVANE_VERSION
#define KELVANE_VERSION "unknown"
#endif

namespace nimbrel {
namespace {

const char* const kProgram = "Nimbrel.exe";

const char* const kUsage =
    "Usage: Nimbrel.exe [OPTIONS] [WORKSPACE.json]\n"
    "Runs a plug-in against a workspace file as the host application would.\n"
    "Nimbrel.exe --help lists every option and the exit statuses.\n"
    "Nimbrel.exe --check PLUGIN checks that a plug-in behaves as the host expects.\n";

const char* const kFooter =
    "Dialog parameters: those that neither the workspace nor --param sets take the defaults of the\n"
    "plug-in's dialog script (the file its getGUIScript names, beside the plug-in module).\n"
    "\n"
    "Conformance check: --check PLUGIN puts a plug-in module through what the host expects, each\n"
    "check in a process of its own, instead of a run; --report-json FILE writes its results as JSON.\n"
    "Strictness: 1 the module and its objects; 2 (default) also each host state and execute; 3 also\n"
    "1,000 lifecycles, and every warning counts as a failure. --list lists every check with its\n"
    "strictness, what it needs and what a failure means. A check that needs another that failed is\n"
    "skipped. With --in-process a crash of the plug-in ends Nimbrel.exe itself.\n"
    "\n";

const char* const kExample =
    "\n\nExample:\n"
    "  Nimbrel.exe examples/default.json --param MinP=0.05 --report-json report.json";

// The seconds a --timeout text gives: a number above 0 and at most
// kLongestTimeout, all of the text.
std::optional<double> secondsOf(const std::string& text) {
    char* end = nullptr;
    const double seconds = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() || !(seconds > 0 && seconds <= kLongestTimeout))
        return std::nullopt;
    return seconds;
}

}  // namespace

void printError(std::ostream& err, const std::string& message) {
    err << kProgram << ": error: " << visible(message) << std::endl;
}

void printWarning(std::ostream& err, const std::string& message) {
    err << kProgram << ": warning: " << visible(message) << std::endl;
}

namespace {

// The options of a run, into options; --timeout's text into timeout.
void addRunOptions(CLI::App& app, CommandLine& options, std::optional<std::string>& timeout) {
    app.add_option("WORKSPACE.json", options.workspace,
                   "Workspace file: host version, documents, the current VMR's maps, dialog parameters\n"
                   "('-' for standard input). Without one the plug-in runs against an empty workspace.")
        ->type_name("");
    app.add_option("--plugin", options.plugin,
                   std::string("Plug-in module to run (default: ") + kPluginFileName + " in ../plugins/" +
                       kPluginFolder + "/ as installed,\nin ../" + kPluginFolder +
                       "/ as unpacked from the Windows archive, or in ../plugin/ as built, from this\n"
                       "executable's folder)")
        ->type_name("PATH");
    CLI::Option* dialog =
        app.add_option("--dialog", options.dialog,
                       "Dialog script whose defaults the parameters take that neither the workspace nor\n"
                       "--param sets (default: the script the plug-in names, beside the plug-in module)")
            ->type_name("PATH");
    app.add_flag("--no-dialog", options.noDialog,
                 "Read no dialog script: a parameter the workspace does not set reads as 0 or empty")
        ->excludes(dialog);
    app.add_option("--param", options.params,
                   "Set a dialog parameter, overriding the workspace file (repeatable). The dialog script\n"
                   "must declare it, and the value must fit its type; without a script it is taken as given\n"
                   "(an integer, else a float, else a text).")
        ->type_name("NAME=VALUE")
        ->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->allow_extra_args(false);
    app.add_option("--save-workspace", options.saveWorkspace,
                   "Write the workspace, as the run left it, to FILE ('-' for standard output; the\n"
                   "human output then goes to standard error)")
        ->type_name("FILE");
    app.add_option("--report-json", options.reportJson,
                   "Write a JSON report of the run to FILE ('-' for standard output; the human\n"
                   "output then goes to standard error)")
        ->type_name("FILE");
    app.add_option("--timeout", timeout,
                   "Stop a plug-in call (createPlugin, initPlugin, execute, ...) that runs longer than\n"
                   "SECONDS, above 0 and at most 86400, naming the call (exit status 10)")
        ->type_name("SECONDS");
    app.add_flag("--trace", options.trace,
                 "Print to standard error every host function the plug-in calls that the stand-in\n"
                 "does not provide (it answers zero), and why no dialog script was read");
    app.add_flag("--quiet", options.quiet,
                 "Print nothing but errors, the plug-in's message boxes and why a run\nfailed, all on standard error "
                 "(and the report to '-')");
}

// What the conformance check's options are read into.
struct CheckOptionValues {
    std::string plugin;
    CheckRequest request;
    std::string only;
    CLI::Option* check = nullptr;
    CLI::Option* list = nullptr;
};

void addCheckOptions(CLI::App& app, CheckOptionValues& values) {
    CLI::Option_group* group =
        app.add_option_group("Conformance check",
                             "Nimbrel.exe --check PLUGIN [--strictness 1..3] [--time-limit SECONDS] [--only NAMES]\n"
                             "  [--in-process] [--report-json FILE]; Nimbrel.exe --list [--report-json FILE]");
    values.check = group->add_option("--check", values.plugin, "Check the plug-in module PLUGIN instead of running one")
                       ->type_name("PLUGIN");
    group
        ->add_option("--strictness", values.request.strictness,
                     "Which checks run, 1 to 3 (default " + std::to_string(CheckRequest::kDefaultStrictness) + ")")
        ->type_name("1..3")
        ->check(CLI::Range(1, 3).description(""))
        ->needs(values.check);
    group
        ->add_option("--time-limit", values.request.timeLimit,
                     "Seconds each call into the plug-in may take before its check is killed (default 60)")
        ->type_name("SECONDS")
        ->needs(values.check);
    group
        ->add_option("--only", values.only,
                     "Run only these checks (comma-separated) and the checks they need, in the run's order")
        ->type_name("NAME[,NAME...]")
        ->needs(values.check);
    group
        ->add_flag("--in-process", values.request.inProcess,
                   "Run the checks in this process, so that a debugger stops where the plug-in fails; a\n"
                   "crash then ends Nimbrel.exe, and the heap guard and the watch at exit are left out")
        ->needs(values.check);
    values.list = group
                      ->add_flag("--list", values.request.list,
                                 "List every check: its strictness, what it needs, what a failure means and its fix")
                      ->excludes(values.check);
}

// The names of --only's list, in order.
std::vector<std::string> onlyNames(const std::string& list) {
    std::vector<std::string> names;
    for (std::size_t begin = 0; begin <= list.size();) {
        const std::size_t comma = std::min(list.find(',', begin), list.size());
        if (comma > begin) names.push_back(list.substr(begin, comma - begin));
        begin = comma + 1;
    }
    return names;
}

// The check the parsed options ask for, or the exit status of a refusal.
std::variant<CommandLine, int> checkCommandLine(const CLI::App& app, CommandLine options, CheckOptionValues& values,
                                                std::ostream& err) {
    for (const char* runOnly : {"WORKSPACE.json", "--plugin", "--dialog", "--no-dialog", "--param", "--save-workspace",
                                "--timeout", "--trace", "--quiet"})
        if (app.get_option(runOnly)->count() > 0) {
            printError(err, std::string(values.list->count() > 0 ? "--list" : "--check") + " excludes " + runOnly +
                                " (see --help)");
            return kExitBadArguments;
        }
    if (!(values.request.timeLimit > 0 && values.request.timeLimit <= kLongestTimeout)) {
        printError(err, "--time-limit: give seconds above 0, at most 86400 (see --help)");
        return kExitBadArguments;
    }
    values.request.only = onlyNames(values.only);
    if (app.get_option("--only")->count() > 0 && values.request.only.empty()) {
        printError(err, "--only: give the names of checks, comma-separated (Nimbrel.exe --list lists them)");
        return kExitBadArguments;
    }
    values.request.plugin = values.plugin;
    options.check = values.request;
    return options;
}

// The run the parsed options ask for, or the exit status of a refusal.
std::variant<CommandLine, int> runCommandLine(CommandLine options, const std::optional<std::string>& timeout,
                                              std::ostream& err) {
    if (options.saveWorkspace == std::optional<std::string>("-") && options.reportJson == options.saveWorkspace) {
        printError(err, "--save-workspace and --report-json cannot both write to standard output ('-') (see --help)");
        return kExitBadArguments;
    }
    if (options.saveWorkspace && options.reportJson && *options.reportJson != "-" &&
        sameFile(*options.saveWorkspace, *options.reportJson)) {
        printError(err, "--save-workspace and --report-json both name " + *options.reportJson +
                            ": give each a file of its own (see --help)");
        return kExitBadArguments;
    }
    if (timeout) {
        options.timeout = secondsOf(*timeout);
        if (!options.timeout) {
            printError(err, "--timeout " + *timeout + ": give seconds above 0, at most 86400 (see --help)");
            return kExitBadArguments;
        }
    }
    // The form of each --param is checked before anything is read, and each
    // parameter may be given once.
    std::map<std::string, std::string> given;
    for (const std::string& param : options.params) {
        try {
            const std::string name = splitAssignment(param).name;
            if (const auto [earlier, first] = given.emplace(name, param); !first)
                throw ParameterError("--param " + param + ": " + name + " is given twice (also --param " +
                                     earlier->second + ")");
        } catch (const ParameterError& e) {
            printError(err, e.what());
            return kExitBadArguments;
        }
    }
    return options;
}

// Parses into app's options; the exit status when it answered (--help,
// --version) or refused, else nothing.
std::optional<int> parseInto(CLI::App& app, int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    // --check takes a value, so "--check --help" would read --help as the plug-in.
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            out << app.help() << std::flush;
            return kExitRan;
        }
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e, out, err);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e, out, err);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e, out, err);
    } catch (const CLI::ParseError& e) {
        printError(err, std::string(e.what()) + " (see --help)");
        return kExitBadArguments;
    }
    return std::nullopt;
}

}  // namespace

std::variant<CommandLine, int> parseCommandLine(int argc, const char* const* argv, std::ostream& out,
                                                std::ostream& err) {
    if (argc <= 1) {
        err << kUsage << std::flush;
        return kExitBadArguments;
    }
    CLI::App app{
        "Nimbrel.exe: the stand-in host. Loads a plug-in of this family, runs it against a workspace file\n"
        "as the host application would (initPlugin, then execute), prints its log and message boxes as they\n"
        "come and, at the end, the maps' parameters before and after.",
        kProgram};
    app.get_formatter()->column_width(30);
    // A path such as /data/ws.json is a path on every system, never an option.
    app.allow_windows_style_options(false);
    CommandLine options;
    std::optional<std::string> timeout;
    addRunOptions(app, options, timeout);
    CheckOptionValues check;
    addCheckOptions(app, check);
    app.set_version_flag("--version",
                         std::string(kProgram) + " " + KELVANE_VERSION + ", the stand-in host for Kelvane plug-ins");
    app.footer(kFooter + exitStatusHelp(kExitStatuses, kExitStatusNote) + "\n\n" +
               exitStatusHelp(kCheckExitStatuses, nullptr, "Exit status of --check:") + kExample);
    if (const std::optional<int> answered = parseInto(app, argc, argv, out, err)) return *answered;
    if (check.check->count() > 0 || check.list->count() > 0) return checkCommandLine(app, options, check, err);
    return runCommandLine(options, timeout, err);
}

}  // namespace nimbrel
