#include "standin/check/check_command.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <set>

#include "standin/base/native_path.h"
#include "standin/check/check_listing.h"
#include "standin/check/check_report.h"
#include "standin/check/checks.h"
#include "standin/check/child_process.h"
#include "standin/check/contract_watch.h"
#include "standin/check/handed_out_texts.h"
#include "standin/check/left_running.h"
#include "standin/check/process_resources.h"
#include "standin/check/process_state.h"
#include "standin/check/sanitizer_build.h"
#include "standin/files/declared_parameters.h"
#include "standin/files/output_file.h"
#include "standin/files/workspace_json.h"
#include "standin/plugin/module_kind.h"
#include "standin/plugin/plugin_location.h"

namespace nimbrel::check {
namespace {

namespace fs = std::filesystem;

const char* const kChildOption = "--check-run";
// What a check's process may write to any one file, its standard output included.
constexpr std::uint64_t kLargestFile = std::uint64_t{256} << 20;
// What the parent allows a child beyond the per-call limit: the grace period and its exit.
constexpr double kGraceSeconds = 2;

// The guard-page allocator preloaded into the checks that guard the heap, or
// empty when the system has none (never on Windows, nor in a build whose
// sanitizer has an allocator of its own).
std::string heapGuardLibrary() {
#if defined(_WIN32) || defined(NIMBREL_SANITIZED_HEAP)
    return "";
#else
    for (const char* candidate : {"/usr/lib/libefence.so.0", "/usr/lib/x86_64-linux-gnu/libefence.so.0",
                                  "/usr/lib/aarch64-linux-gnu/libefence.so.0"}) {
        std::error_code ignored;
        if (fs::is_regular_file(candidate, ignored)) return candidate;
    }
    return "";
#endif
}

// The check a command line asks for, with where its JSON report goes.
struct CheckOptions : CheckRequest {
    std::optional<std::string> reportJson;
};

// A pass or a warning becomes a failure for that reason; a failure keeps its own.
void failFor(const std::optional<std::string>& reason, CheckResult& result) {
    if (reason && result.status != Status::Fail) result = {Status::Fail, *reason};
}

// Runs check against the plug-in in this process and gives its result: what
// the plug-in's calls did, a breach of the host's contract, and what its
// calls left running.
CheckResult runHere(const CheckDefinition& check, CheckContext& context, CheckChannel& channel, ContractWatch& watch) {
    std::set<ThreadNumber> threadsAtStart;
    for (const auto& thread : threadUse()) threadsAtStart.insert(thread.first);
    CheckResult result;
    try {
        result = context.withCallNotes(check.run(context));
    } catch (const CheckFailure& e) {
        result = {Status::Fail, e.what()};
    } catch (const std::exception& e) {
        result = {Status::Fail, std::string("an exception came out of the plug-in or the check: ") + e.what()};
    } catch (...) {
        result = {Status::Fail, "an exception came out of the plug-in"};
    }
    const std::optional<std::string> left =
        context.lastCall().empty() ? std::nullopt
                                   : leftRunning(threadsAtStart, channel, context.lastReturn(), context.lastCall());
    // A host call that broke its contract came first, also one made while what was left ran.
    failFor(watch.breach(), result);
    failFor(left, result);
    return result;
}

// The child: runs one check and writes its result to the channel. What the
// module left running is watched a while longer; then the process ends as a
// host's does, with the module still loaded, so that what runs late and at
// the end is seen too.
int runChildCheck(int argc, char** argv) {
    endQuietlyOnCrash();
    limitFileSizes(kLargestFile);
    if (argc != 6) return kCheckBadArguments;
    const CheckDefinition* check = findCheck(argv[2]);
    if (check == nullptr || check->run == nullptr) return kCheckBadArguments;
    CheckChannel channel(argv[4]);
    noteHostDescriptors();
    noteFaultsInHandedOutMemory(channel.descriptor());
    ContractWatch& watch = ContractWatch::install(channel);
    CheckContext context(executablePath(argv[0]), argv[3], channel, watch, std::strtod(argv[5], nullptr));
    channel.finish(runHere(*check, context, channel, watch));
    channel.exiting();
    noteCrashAsProcessEnds(channel.descriptor());
    std::exit(0);
}

// Runs check in the stand-in's own process (--in-process): a crash of the
// plug-in ends the stand-in, where a debugger stops; the heap is not guarded
// and the process's end not watched. The channel, the watch and the module
// last as long as the process, as a late host call may come at its end.
CheckOutcome runInThisProcess(const CheckDefinition& check, const std::string& plugin, double timeLimit,
                              const std::string& self) {
    // No parent reads the channel here: its lines go to the null device.
#if defined(_WIN32)
    static CheckChannel channel("NUL");
#else
    static CheckChannel channel("/dev/null");
#endif
    ContractWatch& watch = ContractWatch::install(channel);
    watch.forgetBreach();
    noteHostDescriptors();
    const auto start = std::chrono::steady_clock::now();
    // Never destroyed, as the child's is not: the module stays loaded, as in
    // a host, for what it left running.
    CheckContext& context = *new CheckContext(self, plugin, channel, watch, timeLimit);
    const CheckResult result = runHere(check, context, channel, watch);
    CheckOutcome outcome;
    outcome.status = result.status;
    outcome.reason = result.reason;
    outcome.lastCall = context.lastCall();
    outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return outcome;
}

std::string milliseconds(std::chrono::steady_clock::duration duration) {
    return std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(duration).count()) + " ms";
}

// What the child's channel said: the last call announced, and the result.
CheckOutcome readChannel(const std::string& path, const ChildEnd& end, double timeLimit) {
    CheckOutcome outcome;
    std::ifstream file(nativePath(path), std::ios::binary);
    std::string line, result, after, fault, breach;
    bool exiting = false;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("call ", 0) == 0) outcome.lastCall = line.substr(5);
        if (line.rfind("after ", 0) == 0) after = line.substr(6);
        if (line.rfind("result ", 0) == 0) result = line.substr(7);
        if (line.rfind("fault ", 0) == 0) fault = ": " + line.substr(6);
        if (line.rfind("contract ", 0) == 0 && breach.empty()) breach = line.substr(9);
        exiting = exiting || line == "exit";
    }
    const bool endedWell = end.kind == ChildEnd::Kind::Exited && end.code == 0 && !(exiting && !fault.empty());
    if (!breach.empty()) {
        // What broke the host's contract came first, also after the result
        // (an exit handler's call); an end that followed is named after it.
        outcome.status = Status::Fail;
        outcome.reason = endedWell ? breach : breach + "; then the process ended with " + end.description;
        return outcome;
    }
    if (!result.empty() && endedWell) {
        const std::size_t blank = result.find(' ');
        const std::string status = result.substr(0, blank);
        outcome.status = status == "pass" ? Status::Pass : status == "warning" ? Status::Warning : Status::Fail;
        outcome.reason = blank == std::string::npos ? "" : result.substr(blank + 1);
        return outcome;
    }
    outcome.status = Status::Fail;
    const std::string during = " during " + (outcome.lastCall.empty() ? "the check's start" : outcome.lastCall);
    char limit[32];
    std::snprintf(limit, sizeof limit, "%g s", timeLimit);
    if (end.kind == ChildEnd::Kind::NotStarted) {
        outcome.reason = end.description;
    } else if (exiting) {
        outcome.reason = "crashed when the process ended (" + (fault.empty() ? end.description : fault.substr(2)) +
                         "): a handler the module left to run at exit, or one of its static objects, failed";
    } else if (!after.empty() && result.empty()) {
        // "after <nanoseconds> <call>": the calls were over, the module's threads still running.
        const std::size_t blank = after.find(' ');
        const std::chrono::steady_clock::time_point returned{
            std::chrono::nanoseconds(std::strtoll(after.c_str(), nullptr, 10))};
        const std::string call = blank == std::string::npos ? "the last call" : after.substr(blank + 1);
        const std::string how = end.kind == ChildEnd::Kind::TimedOut ? "was killed" : "crashed";
        outcome.reason = "the process " + how + " " + milliseconds(end.endedAt - returned) + " after " + call +
                         " returned (" + end.description + "): a thread the module left running";
    } else if (!result.empty()) {
        outcome.reason = "the check finished, then the process ended with " + end.description;
    } else if (end.kind == ChildEnd::Kind::TimedOut) {
        outcome.reason = "hung: " + (outcome.lastCall.empty() ? "the check's start" : outcome.lastCall) +
                         " did not return within " + limit + ", killed";
    } else {
        outcome.reason = "the process ended with " + end.description + during + fault;
    }
    return outcome;
}

CheckOutcome runCheck(const CheckDefinition& check, const CheckOptions& options, const std::string& self) {
    CheckOutcome outcome = options.inProcess ? runInThisProcess(check, options.plugin, options.timeLimit, self)
                                             : runCheckProcess(self, check, options.plugin, options.timeLimit);
    outcome.name = check.name;
    outcome.strictness = check.strictness;
    if (options.strictness >= 3 && outcome.status == Status::Warning) {
        outcome.status = Status::Fail;
        outcome.reason = "a warning fails at strictness 3: " + outcome.reason;
    }
    if (outcome.status == Status::Fail) outcome.fix = fixFor(check, outcome.reason);
    return outcome;
}

// The first check this one needs that did not pass, or empty.
std::string unmetNeed(const CheckDefinition& check, const std::vector<CheckOutcome>& done) {
    for (const char* need : check.needs)
        for (const CheckOutcome& outcome : done)
            if (need != nullptr && outcome.name == need && outcome.status != Status::Pass &&
                outcome.status != Status::Warning)
                return need;
    return "";
}

// The one failure for a file this stand-in cannot load as a module, naming
// what it is, instead of every check failing alike.
std::optional<CheckOutcome> foreignModule(const std::string& plugin) {
    const std::optional<std::string> note = foreignModuleNote(plugin, "check", "--check");
    if (!note) return std::nullopt;
    CheckOutcome outcome;
    const CheckDefinition& module = *findCheck("module");
    outcome.name = module.name;
    outcome.strictness = module.strictness;
    outcome.reason = *note;
    outcome.fix = module.fix;
    return outcome;
}

// What the first line says of the plug-in's heap and the process's end.
std::string watchNote(const CheckOptions& options) {
    if (options.inProcess)
        return " in this process (the plug-in's heap is not guarded, and what it does as the process ends is not "
               "watched; a crash ends Nimbrel.exe)";
    if (options.strictness < 2) return "";
#if defined(_WIN32)
    return " (the plug-in's heap is not guarded on Windows)";
#elif defined(NIMBREL_SANITIZED_HEAP)
    return " (the plug-in's heap watched by this build's address sanitizer)";
#else
    const std::string guard = heapGuardLibrary();
    return guard.empty() ? " (the plug-in's heap unguarded: no guard-page allocator here)"
                         : " (the plug-in's heap guarded by " + fs::path(guard).filename().string() + ")";
#endif
}

// Runs the chosen checks in order, each printed as it ends; one that needs a
// check that did not pass is skipped.
void runChosen(const std::vector<const CheckDefinition*>& chosen, const CheckOptions& options, const std::string& self,
               std::ostream& human, CheckRun& run) {
    if (std::optional<CheckOutcome> foreign = foreignModule(options.plugin)) {
        run.outcomes.push_back(*foreign);
        printOutcome(human, run.outcomes.back());
        return;
    }
    for (const CheckDefinition* check : chosen) {
        const std::string need = unmetNeed(*check, run.outcomes);
        if (need.empty()) {
            run.outcomes.push_back(runCheck(*check, options, self));
        } else {
            run.outcomes.push_back(
                {check->name, check->strictness, Status::Skipped, "skipped: needs " + need, "", "", 0});
        }
        printOutcome(human, run.outcomes.back());
    }
}

// Writes json to --report-json's file or standard output; false when it cannot.
bool writeReport(const std::string& reportJson, const nlohmann::ordered_json& json) {
    const std::string text = dumpJson(json);
    if (reportJson == "-") {
        std::cout << text << std::flush;
        return true;
    }
    // Replaced whole or not at all, as the run's outputs are.
    if (const std::optional<std::string> reason = writeWholeFile(reportJson, text)) {
        printError(std::cerr, reportJson + ": cannot write the report: " + *reason);
        return false;
    }
    return true;
}

int runChecks(CheckOptions options, const std::vector<const CheckDefinition*>& chosen, const std::string& self) {
    std::error_code failed;
    options.plugin = absolutePath(options.plugin);
    if (!fs::is_regular_file(nativePath(options.plugin), failed)) {
        printError(std::cerr, "plug-in not found: " + options.plugin);
        return kCheckNoPlugin;
    }
    std::ostream& human = options.reportJson && *options.reportJson == "-" ? std::cerr : std::cout;
    human << "Checking " << options.plugin << " at strictness " << options.strictness << watchNote(options) << "\n\n"
          << std::flush;
    CheckRun run{options.plugin, options.strictness, {}};
    runChosen(chosen, options, self, human, run);
    printVerdict(human, run);
    if (options.reportJson && !writeReport(*options.reportJson, checkRunJson(run))) return kCheckCannotWrite;
    return run.passed() ? kCheckPassed : kCheckFailed;
}

// The checks --only names, with what they need; or every check of the
// strictness. A name no check has is refused, naming the nearest.
std::optional<std::vector<const CheckDefinition*>> checksToRun(const CheckOptions& options) {
    std::vector<std::string> known;
    for (const CheckDefinition& check : checkDefinitions())
        if (check.inRunOrder) known.push_back(check.name);
    for (const std::string& name : options.only) {
        if (std::find(known.begin(), known.end(), name) != known.end()) continue;
        const std::vector<std::string> closest = closestNames(name, known);
        printError(std::cerr, "--only: no check is named " + name +
                                  (closest.empty() ? "" : "; did you mean " + alternatives(closest) + "?") +
                                  " (Nimbrel.exe --list lists the checks)");
        return std::nullopt;
    }
    std::vector<const CheckDefinition*> chosen = chosenChecks(options.only);
    if (options.only.empty())
        chosen.erase(
            std::remove_if(chosen.begin(), chosen.end(),
                           [&options](const CheckDefinition* c) { return c->strictness > options.strictness; }),
            chosen.end());
    return chosen;
}

}  // namespace

std::string uniqueTemporaryPath(const std::string& stem) {
    std::random_device random;
    return utf8Path(fs::temp_directory_path() / (stem + "-" + std::to_string(random()) + std::to_string(random())));
}

CheckOutcome runCheckProcess(const std::string& program, const CheckDefinition& check, const std::string& plugin,
                             double timeLimit) {
    const std::string stem = uniqueTemporaryPath("nimbrel-check");
    const std::string channel = stem + ".txt";
    ChildOptions options;
    options.progress = [&channel] {
        std::error_code ignored;
        return fs::file_size(nativePath(channel), ignored);
    };
#if !defined(_WIN32)
    options.outputStem = stem;
#endif
    const std::string guard = check.guardHeap ? heapGuardLibrary() : "";
    if (!guard.empty()) options.environment = {"LD_PRELOAD=" + guard, "EF_ALLOW_MALLOC_0=1"};
#if defined(NIMBREL_SANITIZED_HEAP)
    // The child's report goes nowhere: a crash ends it at once, not after a
    // stack trace is symbolized, which a late crash would outlast.
    const char* sanitizerOptions = std::getenv("ASAN_OPTIONS");
    options.environment.push_back(std::string("ASAN_OPTIONS=") +
                                  (sanitizerOptions != nullptr ? std::string(sanitizerOptions) + ":" : "") +
                                  "symbolize=0");
#endif
    // A check that starts processes of its own waits for each within the limit.
    const double processLimit = check.startsProcesses ? 2 * timeLimit + kGraceSeconds : timeLimit + kGraceSeconds;
    const auto start = std::chrono::steady_clock::now();
    const ChildEnd end =
        runChild(program, {program, kChildOption, check.name, plugin, channel, std::to_string(timeLimit)}, processLimit,
                 options);
    CheckOutcome outcome = readChannel(channel, end, timeLimit);
    outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::error_code ignored;
    for (const char* suffix : {".txt", ".out", ".err"}) fs::remove(nativePath(stem + suffix), ignored);
    return outcome;
}

std::optional<int> checkChildMain(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], kChildOption) == 0) return runChildCheck(argc, argv);
    return std::nullopt;
}

int runCheckCommand(const CommandLine& commandLine, const std::string& self) {
    CheckOptions options;
    static_cast<CheckRequest&>(options) = *commandLine.check;
    options.reportJson = commandLine.reportJson;
    if (options.list) {
        if (!options.reportJson || *options.reportJson != "-") printCheckList(std::cout);
        if (options.reportJson && !writeReport(*options.reportJson, checkListJson())) return kCheckCannotWrite;
        return kCheckPassed;
    }
    const std::optional<std::vector<const CheckDefinition*>> chosen = checksToRun(options);
    if (!chosen) return kCheckBadArguments;
    return runChecks(options, *chosen, self);
}

}  // namespace nimbrel::check
