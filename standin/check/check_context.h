#pragma once
// What a check sees in its child process: the plug-in module, the channel to
// the parent (which call is running, and the result), and the plug-in's calls
// made through the host's three slots, each announced before it runs.

#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>

#include "standin/check/contract_watch.h"
#include "standin/check/process_state.h"
#include "standin/files/dialog_script.h"
#include "standin/plugin/plugin_runner.h"

namespace nimbrel::check {

// Skipped: a check it needs failed, so it was not run.
enum class Status { Pass, Warning, Fail, Skipped };

// "pass", "warning", "fail", "skipped".
const char* statusText(Status status);

struct CheckResult {
    Status status = Status::Pass;
    std::string reason;  // one line
};

inline CheckResult passed(std::string reason) {
    return {Status::Pass, std::move(reason)};
}
inline CheckResult warned(std::string reason) {
    return {Status::Warning, std::move(reason)};
}

// Thrown by a check to fail at once; what() is the reason.
class CheckFailure : public std::runtime_error {
public:
    explicit CheckFailure(const std::string& reason);
    // The reason of the last failure made in this process, so that a clean-up
    // that crashes on the way out can still name it.
    static const std::string& last();
};

// Lines to the parent, each written through at once so that they survive the
// child's crash: "call <what is running>", "after <steady clock ns> <call>"
// when the calls are over and the module is watched a while longer,
// "contract <breach>" when a host call broke its contract (from any thread),
// "result <status> <reason>", and "exit" as the process ends.
class CheckChannel {
public:
    explicit CheckChannel(const std::string& path);
    ~CheckChannel();
    CheckChannel(const CheckChannel&) = delete;
    CheckChannel& operator=(const CheckChannel&) = delete;

    void calling(const std::string& call);
    // What was last announced with calling.
    std::string announced() const;
    void breach(const std::string& reason);
    // The calls are over; the last one, call, returned at returned.
    void watching(std::chrono::steady_clock::time_point returned, const std::string& call);
    void finish(const CheckResult& result);
    void exiting();
    // The channel's file descriptor, for a fault handler's one last line.
    int descriptor() const;

private:
    void line(const std::string& text);
    std::FILE* file_;
    mutable std::mutex mutex_;
    std::string announced_;
};

class CheckContext;

// A plug-in object the check created. However the check ends, the object is
// destroyed through the context, so that the clean-up is announced too.
class CheckedPlugin {
public:
    CheckedPlugin() = default;
    CheckedPlugin(CheckContext& context, PluginObject object, std::string what)
        : context_(&context), object_(std::move(object)), what_(std::move(what)) {}
    CheckedPlugin(CheckedPlugin&&) = default;
    CheckedPlugin& operator=(CheckedPlugin&& other) noexcept;
    CheckedPlugin(const CheckedPlugin&) = delete;
    CheckedPlugin& operator=(const CheckedPlugin&) = delete;
    ~CheckedPlugin() { cleanUp(); }

    explicit operator bool() const { return static_cast<bool>(object_); }
    void* address() const { return object_.address(); }
    PluginObject& object() { return object_; }
    const PluginObject& object() const { return object_; }

private:
    void cleanUp();
    CheckContext* context_ = nullptr;
    PluginObject object_;
    std::string what_;
};

class CheckContext {
public:
    CheckContext(std::string hostPath, std::string pluginPath, CheckChannel& channel, ContractWatch& watch,
                 double timeLimit);

    // The stand-in host program this check runs in.
    const std::string& hostPath() const { return hostPath_; }
    const std::string& pluginPath() const { return pluginPath_; }
    // Seconds each call into the plug-in, and each process the check starts, may take.
    double timeLimit() const { return timeLimit_; }
    CheckChannel& channel() { return channel_; }
    // What holds each host call to its contract.
    ContractWatch& watch() { return watch_; }
    // The loaded module; throws CheckFailure when it cannot be loaded.
    const PluginModule& module();
    // The dialog script the plug-in names beside its module, when it can be read.
    const std::optional<DialogScript>& dialog();

    // The calls into the plug-in, announced on the channel (what adds
    // "(case)"), timed, and watched for changes to what the process shares.
    CheckedPlugin createPlugin(const std::string& what = "");
    bool initPlugin(const CheckedPlugin& plugin, const std::string& what = "");
    bool execute(const CheckedPlugin& plugin, const std::string& what = "");
    void destroy(CheckedPlugin& plugin, const std::string& what = "");
    void destroy(PluginObject& plugin, const std::string& what);

    // What the module's own start-up code changed in the process as it was
    // loaded ("changed the working directory from ...").
    const std::vector<std::string>& loadChanges() const { return loadChanges_; }
    // Whether each call is compared with the process's state before it (on
    // by default; the timing of many cycles leaves it off).
    void watchProcessState(bool watch) { watchState_ = watch; }
    // The result with what the calls did besides: a call slower than a host
    // should wait for, or a change to what the process shares, makes a pass a
    // warning.
    CheckResult withCallNotes(CheckResult result) const;
    // When the last execute returned, and which it was (else the last call of
    // any kind): what a thread the plug-in left running is put down to.
    std::chrono::steady_clock::time_point lastReturn() const { return lastReturn_; }
    const std::string& lastCall() const { return lastCall_; }

private:
    template <typename Call>
    auto call(int kind, const std::string& what, Call&& body);

    std::string hostPath_;
    std::string pluginPath_;
    CheckChannel& channel_;
    ContractWatch& watch_;
    double timeLimit_;
    std::unique_ptr<PluginModule> module_;
    std::string loadError_;
    bool dialogRead_ = false;
    std::optional<DialogScript> dialog_;
    bool watchState_ = true;
    std::vector<std::string> loadChanges_;
    std::vector<std::string> stateChanges_;  // "execute (case) changed ..."
    double slowestSeconds_ = 0;
    std::string slowestCall_;
    std::chrono::steady_clock::time_point lastReturn_{};
    std::string lastCall_;
    int calls_[4] = {};  // createPlugin, initPlugin, execute, destroy
};

}  // namespace nimbrel::check
