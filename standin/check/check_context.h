#pragma once
// What a check sees in its child process: the plug-in module, the channel to
// the parent (which call is running, and the result), and the plug-in's calls
// made through the host's three slots, each announced before it runs.

#include <cstdio>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "standin/dialog_script.h"
#include "standin/plugin_runner.h"

namespace nimbrel::check {

enum class Status { Pass, Warning, Fail };

// "pass", "warning", "fail".
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
    using std::runtime_error::runtime_error;
};

// Lines to the parent, each written through at once so that they survive the
// child's crash: "call <what is running>" and, at the end, "result <status> <reason>".
class CheckChannel {
public:
    explicit CheckChannel(const std::string& path);
    ~CheckChannel();
    CheckChannel(const CheckChannel&) = delete;
    CheckChannel& operator=(const CheckChannel&) = delete;

    void calling(const std::string& call);
    void finish(const CheckResult& result);

private:
    std::FILE* file_;
};

class CheckContext {
public:
    CheckContext(std::string hostPath, std::string pluginPath, CheckChannel& channel, double timeLimit);

    // The stand-in host program this check runs in.
    const std::string& hostPath() const { return hostPath_; }
    const std::string& pluginPath() const { return pluginPath_; }
    // Seconds each process the check starts may take.
    double timeLimit() const { return timeLimit_; }
    CheckChannel& channel() { return channel_; }
    // The loaded module; throws CheckFailure when it cannot be loaded.
    const PluginModule& module();
    // The dialog script the plug-in names beside its module, when it can be read.
    const std::optional<DialogScript>& dialog();

    // The calls into the plug-in, announced on the channel (what adds "(case)").
    PluginObject createPlugin(const std::string& what = "");
    bool initPlugin(const PluginObject& plugin, const std::string& what = "");
    bool execute(const PluginObject& plugin, const std::string& what = "");
    void destroy(PluginObject& plugin, const std::string& what = "");

private:
    std::string hostPath_;
    std::string pluginPath_;
    CheckChannel& channel_;
    double timeLimit_;
    std::unique_ptr<PluginModule> module_;
    std::string loadError_;
    bool dialogRead_ = false;
    std::optional<DialogScript> dialog_;
};

}  // namespace nimbrel::check
