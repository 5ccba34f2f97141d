#pragma once

namespace kelvane {

// Binds the host, tests its version, shows the log, writes the opening lines
// and checks that the current document is a VMR with maps loaded. Each failed
// check from the version on shows one message box; a failed binding returns
// false in silence, since no host function is there to show anything.
bool runStartupChecks();

}  // namespace kelvane
