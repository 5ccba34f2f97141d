#include "standin/check/check_context.h"

#include <exception>
#include <type_traits>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

#include "standin/base/native_path.h"
#include "standin/check/process_resources.h"

namespace nimbrel::check {
namespace {

// A call that takes longer than this keeps the host's user waiting: a warning.
constexpr double kSlowCallSeconds = 1.0;
// Changes to the process's state named in one reason; the rest are counted.
constexpr std::size_t kChangesShown = 3;

enum CallKind { kCreate, kInit, kExecute, kDestroy };

// "execute (case)", and which of its kind it is when not the first in the
// process: "execute (case; the 3rd execute in this process)".
std::string announced(const char* call, const std::string& what, int ordinal) {
    std::string detail = what;
    if (ordinal > 1) {
        const int lastTwo = ordinal % 100, last = ordinal % 10;
        const char* suffix = lastTwo >= 11 && lastTwo <= 13 ? "th"
                             : last == 1                    ? "st"
                             : last == 2                    ? "nd"
                             : last == 3                    ? "rd"
                                                            : "th";
        detail += (detail.empty() ? "" : "; ") + std::string("the ") + std::to_string(ordinal) + suffix + " " + call +
                  " in this process";
    }
    return detail.empty() ? std::string(call) : std::string(call) + " (" + detail + ")";
}

// One line: breaks become blanks.
std::string oneLine(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    return text;
}

std::string& lastFailure() {
    static std::string reason;
    return reason;
}

}  // namespace

CheckFailure::CheckFailure(const std::string& reason) : std::runtime_error(reason) {
    lastFailure() = reason;
}

const std::string& CheckFailure::last() {
    return lastFailure();
}

const char* statusText(Status status) {
    switch (status) {
        case Status::Pass:
            return "pass";
        case Status::Warning:
            return "warning";
        case Status::Fail:
            return "fail";
        case Status::Skipped:
            return "skipped";
    }
    return "fail";
}

CheckChannel::CheckChannel(const std::string& path) : file_(openFile(path, "wb")) {
    if (file_ == nullptr) throw std::runtime_error("cannot write " + path);
}

CheckChannel::~CheckChannel() {
    std::fclose(file_);
}

void CheckChannel::line(const std::string& text) {
    std::fprintf(file_, "%s\n", oneLine(text).c_str());
    std::fflush(file_);
}

void CheckChannel::calling(const std::string& call) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        announced_ = call;
    }
    line("call " + call);
}

std::string CheckChannel::announced() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return announced_;
}

void CheckChannel::breach(const std::string& reason) {
    // Straight to the descriptor: the calling thread may be one the plug-in
    // left, as the process ends.
    const std::string text = "contract " + oneLine(reason) + "\n";
#if defined(_WIN32)
    _write(descriptor(), text.data(), static_cast<unsigned>(text.size()));
#else
    [[maybe_unused]] const ssize_t written = write(descriptor(), text.data(), text.size());
#endif
}

void CheckChannel::watching(std::chrono::steady_clock::time_point returned, const std::string& call) {
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(returned.time_since_epoch());
    line("after " + std::to_string(nanoseconds.count()) + " " + call);
}

void CheckChannel::finish(const CheckResult& result) {
    line(std::string("result ") + statusText(result.status) + " " + result.reason);
}

void CheckChannel::exiting() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        announced_ = "as the process ended";
    }
    line("exit");
}

int CheckChannel::descriptor() const {
#if defined(_WIN32)
    return _fileno(file_);
#else
    return fileno(file_);
#endif
}

CheckedPlugin& CheckedPlugin::operator=(CheckedPlugin&& other) noexcept {
    if (this != &other) {
        cleanUp();
        context_ = other.context_;
        object_ = std::move(other.object_);
        what_ = std::move(other.what_);
    }
    return *this;
}

void CheckedPlugin::cleanUp() {
    if (!object_ || context_ == nullptr) return;
    std::string what = what_.empty() ? "clean-up" : what_ + ", clean-up";
    if (std::uncaught_exceptions() > 0 && !CheckFailure::last().empty())
        what += " after the check failed: " + CheckFailure::last();
    context_->destroy(object_, what);
}

CheckContext::CheckContext(std::string hostPath, std::string pluginPath, CheckChannel& channel, ContractWatch& watch,
                           double timeLimit)
    : hostPath_(std::move(hostPath)),
      pluginPath_(std::move(pluginPath)),
      channel_(channel),
      watch_(watch),
      timeLimit_(timeLimit) {}

const PluginModule& CheckContext::module() {
    if (!module_) {
        if (!loadError_.empty()) throw CheckFailure(loadError_);
        channel_.calling("loading the module");
        const ProcessState before = captureProcessState();
        module_ = PluginModule::load(pluginPath_, loadError_);
        if (!module_) throw CheckFailure(loadError_);
        loadChanges_ = processStateChanges(before, captureProcessState());
    }
    return *module_;
}

const std::optional<DialogScript>& CheckContext::dialog() {
    if (!dialogRead_) {
        dialogRead_ = true;
        const std::string path = dialogScriptBeside(pluginPath_, module().descriptors().guiScript.value_or(""));
        try {
            if (!path.empty()) dialog_ = readDialogScript(path);
        } catch (const DialogScriptError&) {
            // The package check says why; the other checks run without defaults.
        }
        if (dialog_) watch_.compareWithDialog(*dialog_, utf8Path(nativePath(path).filename()));
    }
    return dialog_;
}

template <typename Call>
auto CheckContext::call(int kind, const std::string& what, Call&& body) {
    using Clock = std::chrono::steady_clock;
    static const char* const kNames[] = {"createPlugin", "initPlugin", "execute", "destroy with flags 1"};
    const std::string call = announced(kNames[kind], what, ++calls_[kind]);
    const ProcessState before = watchState_ ? captureProcessState() : ProcessState{};
    channel_.calling(call);
    // The host functions the call makes are held to their contract as the call's.
    struct InCall {
        InCall(CheckContext& context, const std::string& call) : context(context) { context.watch_.entering(call); }
        ~InCall() { context.watch_.returned(context.lastCall_); }
        CheckContext& context;
    } inCall(*this, call);
    const auto start = Clock::now();
    const double waitedBefore = cpuWaitSeconds();
    auto finished = [&] {
        const auto returned = Clock::now();
        if (kind == kExecute || calls_[kExecute] == 0) {
            lastReturn_ = returned;
            lastCall_ = call;
        }
        const double seconds =
            std::chrono::duration<double>(returned - start).count() - (cpuWaitSeconds() - waitedBefore);
        if (seconds > slowestSeconds_) {
            slowestSeconds_ = seconds;
            slowestCall_ = call;
        }
        if (watchState_) {
            const ProcessState after = captureProcessState();
            for (const std::string& change : processStateChanges(before, after))
                stateChanges_.push_back(call + " " + change);
        }
    };
    if constexpr (std::is_void_v<decltype(body())>) {
        body();
        finished();
    } else {
        auto result = body();
        finished();
        return result;
    }
}

CheckResult CheckContext::withCallNotes(CheckResult result) const {
    if (result.status != Status::Pass && result.status != Status::Warning) return result;
    std::string notes;
    if (slowestSeconds_ > kSlowCallSeconds) {
        char took[96];
        std::snprintf(took, sizeof took, " took %.1f s (a host waits for every call; over %g s is slow)",
                      slowestSeconds_, kSlowCallSeconds);
        notes = slowestCall_ + took;
    }
    for (std::size_t i = 0; i < stateChanges_.size() && i < kChangesShown; ++i)
        notes += (notes.empty() ? "" : "; ") + stateChanges_[i];
    if (stateChanges_.size() > kChangesShown)
        notes += "; and " + std::to_string(stateChanges_.size() - kChangesShown) + " more changes";
    if (notes.empty()) return result;
    return warned(result.reason + "; but " + notes);
}

CheckedPlugin CheckContext::createPlugin(const std::string& what) {
    const PluginModule& loaded = module();
    PluginObject plugin = call(kCreate, what, [&loaded] { return loaded.createPlugin(); });
    if (!plugin) throw CheckFailure("createPlugin returned null");
    return CheckedPlugin(*this, std::move(plugin), what);
}

bool CheckContext::initPlugin(const CheckedPlugin& plugin, const std::string& what) {
    return call(kInit, what, [&plugin] { return plugin.object().initPlugin(); });
}

bool CheckContext::execute(const CheckedPlugin& plugin, const std::string& what) {
    return call(kExecute, what, [&plugin] { return plugin.object().execute(); });
}

void CheckContext::destroy(CheckedPlugin& plugin, const std::string& what) {
    destroy(plugin.object(), what);
}

void CheckContext::destroy(PluginObject& plugin, const std::string& what) {
    call(kDestroy, what, [&plugin] { plugin.destroy(); });
}

}  // namespace nimbrel::check
