#include "plugin/kelvane.h"

#include <exception>
#include <new>

#include "editing/map_editing.h"
#include "host/host_forwarders.h"
#include "host/host_log.h"
#include "plugin/startup_checks.h"

namespace kelvane {
namespace {

void logFailure(const char* reason) noexcept {
    try {
        logLine("Kelvane>  Failed: %s", reason);
    } catch (...) {
        nbLogText("Kelvane>  Failed");
    }
}

}  // namespace
}  // namespace kelvane

Kelvane::Kelvane() = default;

Kelvane::~Kelvane() {
    // Makes no call when the host was never bound.
    kelvane::nbLogText(" ");
}

// Storage comes from createPlugin's allocation, which the ordinary operator
// delete frees; the host never frees it itself.
void* Kelvane::destroy(unsigned int flags) {
    this->~Kelvane();
    if ((flags & kFreeStorage) != 0) ::operator delete(this);
    return this;
}

// Nothing thrown may reach the host: its process is ours too.
bool Kelvane::initPlugin() {
    try {
        return kelvane::runStartupChecks();
    } catch (...) {
        return false;
    }
}

bool Kelvane::execute() {
    try {
        return kelvane::editMapProperties();
    } catch (const std::exception& failure) {
        kelvane::logFailure(failure.what());
    } catch (...) {
        kelvane::logFailure("unknown error");
    }
    return false;
}
