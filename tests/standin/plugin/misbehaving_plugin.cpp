// A plug-in module that misbehaves on purpose, in the call and the way that
// the environment variable MISBEHAVING_PLUGIN names: "<call>:<how>", where
// call is createPlugin, initPlugin, execute or destructor and how is crash
// (a write through a null pointer), hang (never returns) or exit (ends the
// process with status 3). Every other call returns true at once.

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "plugin/export.h"

namespace {

void misbehaveIn(const char* call) {
    const char* wanted = std::getenv("MISBEHAVING_PLUGIN");
    if (wanted == nullptr) return;
    const std::string how = wanted;
    if (how.compare(0, std::strlen(call) + 1, std::string(call) + ":") != 0) return;
    const std::string what = how.substr(std::strlen(call) + 1);
    if (what == "crash") {
        volatile std::uintptr_t nowhere = 0;  // the compiler cannot know it is null
        *reinterpret_cast<volatile int*>(nowhere) = 1;
    } else if (what == "hang") {
        for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
    } else if (what == "exit") {
        std::exit(3);
    }
}

// The plug-in object's dispatch table as the host knows it: slot 0 the
// destructor taking the host's flags (bit 0: free the storage), execute,
// initPlugin.
class MisbehavingPlugin final {
public:
    virtual void* destroy(unsigned int flags) {
        misbehaveIn("destructor");
        void* self = this;
        if ((flags & 1) != 0) delete this;
        return self;
    }
    virtual bool execute() {
        misbehaveIn("execute");
        return true;
    }
    virtual bool initPlugin() {
        misbehaveIn("initPlugin");
        return true;
    }
};

}  // namespace

KELVANE_C_EXPORT void* createPlugin() {
    misbehaveIn("createPlugin");
    return new MisbehavingPlugin;
}
KELVANE_C_EXPORT const char* getPluginName() {
    return "Misbehaving";
}
