#include "standin/check/check_command.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <set>
#include <sstream>

#include "standin/check/check_report.h"
#include "standin/check/checks.h"
#include "standin/check/child_process.h"
#include "standin/check/contract_watch.h"
#include "standin/check/handed_out_texts.h"
#include "standin/check/left_running.h"
#include "standin/check/process_resources.h"
#include "standin/check/process_state.h"
#include "standin/base/native_path.h"
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

#if defined(__SANITIZE_ADDRESS__)
#define NIMBREL_SANITIZED_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define NIMBREL_SANITIZED_HEAP 1
#endif
#endif

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

// The child: runs one check and writes its result to the channel. What the
// module left running is watched a while longer; then the process ends as a
// host's does, with the module still loaded, so that what runs late and at
// the end is seen too.
int runChildCheck(int argc, char** argv) {
    endQuietlyOnCrash();
    limitFileSizes(kLargestFile);
    if (argc != 6) return kCheckBadArguments;
    const CheckDefinition* check = findCheck(argv[2]);
    if (check == nullptr) return kCheckBadArguments;
    std::set<ThreadNumber> threadsAtStart;
    for (const auto& thread : threadUse()) threadsAtStart.insert(thread.first);
    CheckChannel channel(argv[4]);
    noteHostDescriptors();
    noteFaultsInHandedOutMemory(channel.descriptor());
    ContractWatch& watch = ContractWatch::install(channel);
    CheckContext context(executablePath(argv[0]), argv[3], channel, watch, std::strtod(argv[5], nullptr));
    CheckResult result;
    try {
        result = context.withCallNotes(check->run(context));
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
    channel.finish(result);
    channel.exiting();
    noteCrashAsProcessEnds(channel.descriptor());
    std::exit(0);
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

CheckOutcome runInChild(const CheckDefinition& check, const CheckOptions& options, const std::string& self) {
    CheckOutcome outcome = runCheckProcess(self, check, options.plugin, options.timeLimit);
    outcome.name = check.name;
    outcome.strictness = check.strictness;
    if (options.strictness >= 3 && outcome.status == Status::Warning) {
        outcome.status = Status::Fail;
        outcome.reason = "a warning fails at strictness 3: " + outcome.reason;
    }
    return outcome;
}

// The first check this one needs that did not pass, or empty.
std::string unmetNeed(const CheckDefinition& check, const std::vector<CheckOutcome>& done) {
    std::istringstream needs(check.needs);
    for (std::string need; needs >> need;)
        for (const CheckOutcome& outcome : done)
            if (outcome.name == need && outcome.status != Status::Pass && outcome.status != Status::Warning)
                return need;
    return "";
}

// The one failure for a file this stand-in cannot load as a module, naming
// what it is, instead of every check failing alike.
std::optional<CheckOutcome> foreignModule(const std::string& plugin) {
    const std::optional<std::string> note = foreignModuleNote(plugin, "check", "--check");
    if (!note) return std::nullopt;
    CheckOutcome outcome;
    outcome.name = "module";
    outcome.strictness = 1;
    outcome.reason = *note;
    return outcome;
}

int runChecks(CheckOptions options, const std::string& self) {
    std::error_code failed;
    options.plugin = absolutePath(options.plugin);
    if (!fs::is_regular_file(nativePath(options.plugin), failed)) {
        std::cerr << "Nimbrel.exe: error: plug-in not found: " << options.plugin << std::endl;
        return kCheckNoPlugin;
    }
    std::ostream& human = options.reportJson && *options.reportJson == "-" ? std::cerr : std::cout;
    human << "Checking " << options.plugin << " at strictness " << options.strictness;
    if (options.strictness >= 2) {
#if defined(_WIN32)
        human << " (the plug-in's heap is not guarded on Windows)";
#elif defined(NIMBREL_SANITIZED_HEAP)
        human << " (the plug-in's heap watched by this build's address sanitizer)";
#else
        const std::string guard = heapGuardLibrary();
        human << (guard.empty() ? " (the plug-in's heap unguarded: no guard-page allocator here)"
                                : " (the plug-in's heap guarded by " + fs::path(guard).filename().string() + ")");
#endif
    }
    human << "\n\n" << std::flush;
    CheckRun run{options.plugin, options.strictness, {}};
    if (std::optional<CheckOutcome> foreign = foreignModule(options.plugin)) {
        run.outcomes.push_back(*foreign);
        printOutcome(human, run.outcomes.back());
    } else {
        for (const CheckDefinition& check : checkDefinitions()) {
            if (check.strictness > options.strictness) continue;
            const std::string need = unmetNeed(check, run.outcomes);
            if (need.empty()) {
                run.outcomes.push_back(runInChild(check, options, self));
            } else {
                run.outcomes.push_back(
                    {check.name, check.strictness, Status::Skipped, "skipped: needs " + need, "", 0});
            }
            printOutcome(human, run.outcomes.back());
        }
    }
    printVerdict(human, run);
    if (options.reportJson) {
        const std::string text = dumpJson(checkRunJson(run));
        if (*options.reportJson == "-") {
            std::cout << text << std::flush;
        } else {
            // Replaced whole or not at all, as the run's outputs are.
            if (const std::optional<std::string> reason = writeWholeFile(*options.reportJson, text)) {
                std::cerr << "Nimbrel.exe: error: " << *options.reportJson << ": cannot write the report: " << *reason
                          << std::endl;
                return kCheckCannotWrite;
            }
        }
    }
    return run.passed() ? kCheckPassed : kCheckFailed;
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
    return runChecks(options, self);
}

}  // namespace nimbrel::check
