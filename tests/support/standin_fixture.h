#pragma once
// Helpers for tests that run the real plug-in module inside a test program that
// is itself a host stand-in (see kelvane_add_host_test).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "standin/host/host_session.h"
#include "standin/host/workspace.h"
#include "standin/plugin/plugin_runner.h"

namespace kelvane::testing {

// The plug-in module built by this tree, loaded once per test program.
const nimbrel::PluginModule& pluginModule();

// A workspace with one current VMR carrying mapCount maps (t-maps, 20 degrees
// of freedom, each with recognisable opaque bytes) and no parameters.
nimbrel::Workspace vmrWorkspace(int mapCount);

// A workspace of one document of each type, in order, none of them current.
nimbrel::Workspace documentsWorkspace(const std::vector<int32_t>& types);

// The events of a session as "log: text" / "message: text" lines.
std::vector<std::string> eventLines(const nimbrel::HostSession& session);

}  // namespace kelvane::testing
