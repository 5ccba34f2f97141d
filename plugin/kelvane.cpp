#include "plugin/kelvane.h"

#include "editing/map_editing.h"
#include "host/host_forwarders.h"
#include "plugin/startup_checks.h"

Kelvane::Kelvane() = default;

Kelvane::~Kelvane() {
    // Makes no call when the host was never bound.
    kelvane::nbLogText(" ");
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
    return kelvane::editMapProperties();
}
