// A plug-in module that misbehaves on purpose, in the call and the way that
// the environment variable MISBEHAVING_PLUGIN names: "<call>:<how>", where
// call is createPlugin, initPlugin, execute or destructor and how is crash
// (a write through a null pointer), hang (never returns) or exit (ends the
// process with status 3). Every other call returns true at once. Before it
// misbehaves, it writes its process id to the file MISBEHAVING_MARK names,
// if any. With MISBEHAVING_TABLE=destructor-pair its object has the table a
// virtual destructor gives it under GCC, Clang and MinGW: two destructor
// slots, then execute and initPlugin.

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <fstream>
#include <thread>

#include "plugin/export.h"

#if defined(_WIN32)
#include <process.h>
#define KELVANE_PROCESS_ID _getpid
#else
#include <unistd.h>
#define KELVANE_PROCESS_ID getpid
#endif

namespace {

void misbehaveIn(const char* call) {
    const char* wanted = std::getenv("MISBEHAVING_PLUGIN");
    if (wanted == nullptr) return;
    const std::string how = wanted;
    if (how.compare(0, std::strlen(call) + 1, std::string(call) + ":") != 0) return;
    const std::string what = how.substr(std::strlen(call) + 1);
    if (const char* mark = std::getenv("MISBEHAVING_MARK")) std::ofstream(mark) << KELVANE_PROCESS_ID() << "\n";
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

// The same with a C++ virtual destructor: the compiler's own table.
class DestructorPairPlugin final {
public:
    virtual ~DestructorPairPlugin() { misbehaveIn("destructor"); }
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
    const char* table = std::getenv("MISBEHAVING_TABLE");
    if (table != nullptr && std::strcmp(table, "destructor-pair") == 0) return new DestructorPairPlugin;
    return new MisbehavingPlugin;
}
KELVANE_C_EXPORT const char* getPluginName() {
    return "Misbehaving";
}
