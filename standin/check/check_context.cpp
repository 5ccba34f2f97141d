#include "standin/check/check_context.h"

#include "standin/native_path.h"

namespace nimbrel::check {
namespace {

std::string announced(const char* call, const std::string& what) {
    return what.empty() ? std::string(call) : std::string(call) + " (" + what + ")";
}

// One line: breaks become blanks.
std::string oneLine(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    return text;
}

}  // namespace

const char* statusText(Status status) {
    switch (status) {
        case Status::Pass:
            return "pass";
        case Status::Warning:
            return "warning";
        case Status::Fail:
            return "fail";
    }
    return "fail";
}

CheckChannel::CheckChannel(const std::string& path) : file_(openFile(path, "wb")) {
    if (file_ == nullptr) throw std::runtime_error("cannot write " + path);
}

CheckChannel::~CheckChannel() {
    std::fclose(file_);
}

void CheckChannel::calling(const std::string& call) {
    std::fprintf(file_, "call %s\n", oneLine(call).c_str());
    std::fflush(file_);
}

void CheckChannel::finish(const CheckResult& result) {
    std::fprintf(file_, "result %s %s\n", statusText(result.status), oneLine(result.reason).c_str());
    std::fflush(file_);
}

CheckContext::CheckContext(std::string hostPath, std::string pluginPath, CheckChannel& channel, double timeLimit)
    : hostPath_(std::move(hostPath)), pluginPath_(std::move(pluginPath)), channel_(channel), timeLimit_(timeLimit) {}

const PluginModule& CheckContext::module() {
    if (!module_) {
        if (!loadError_.empty()) throw CheckFailure(loadError_);
        channel_.calling("loading the module");
        module_ = PluginModule::load(pluginPath_, loadError_);
        if (!module_) throw CheckFailure(loadError_);
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
    }
    return dialog_;
}

PluginObject CheckContext::createPlugin(const std::string& what) {
    const PluginModule& loaded = module();
    channel_.calling(announced("createPlugin", what));
    PluginObject plugin = loaded.createPlugin();
    if (!plugin) throw CheckFailure("createPlugin returned null");
    return plugin;
}

bool CheckContext::initPlugin(const PluginObject& plugin, const std::string& what) {
    channel_.calling(announced("initPlugin", what));
    return plugin.initPlugin();
}

bool CheckContext::execute(const PluginObject& plugin, const std::string& what) {
    channel_.calling(announced("execute", what));
    return plugin.execute();
}

void CheckContext::destroy(PluginObject& plugin, const std::string& what) {
    channel_.calling(announced("destroy with flags 1", what));
    plugin.destroy();
}

}  // namespace nimbrel::check
