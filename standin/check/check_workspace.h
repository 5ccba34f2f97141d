#pragma once
// The host states the checks put a plug-in in, and what they look for in the
// workspace afterwards: guard bytes in front of and behind each map's name
// storage, and every record handed back carrying its own map's host-owned
// bytes.

#include <optional>
#include <string>

#include "standin/files/dialog_script.h"
#include "standin/host/host_session.h"
#include "standin/host/workspace.h"

namespace nimbrel::check {

// The maps of the valid VMR, each with host-owned bytes of its own.
inline constexpr int kCheckMapCount = 5;
// Bytes of 0xA5 in front of and behind each map's name storage, which no
// plug-in may write.
inline constexpr std::size_t kGuardBytes = 64;

// A host of version 2.4.0 whose current document is a VMR with kCheckMapCount maps.
Workspace validVmrWorkspace();

// Gives the workspace the defaults of the plug-in's dialog, when it has one.
void applyDefaults(const std::optional<DialogScript>& dialog, Workspace& workspace);

// What the plug-in showed as its reason for refusing: "the message \"...\""
// (the first message box), else "the log line \"...\"" (the last), or nothing.
std::optional<std::string> shownReason(const std::vector<HostEvent>& shown);

// The first thing the plug-in did to the host's maps that it must not do,
// comparing the workspace before and after, and the records it handed back.
std::optional<std::string> recordFault(const Workspace& before, const Workspace& after, const HostSession& session);

}  // namespace nimbrel::check
