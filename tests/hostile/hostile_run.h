#pragma once
// One run of the real plug-in module against a misbehaving stand-in host, and
// the checks every such run must pass: the plug-in returns, no map receives
// another map's record, and every byte the plug-in does not own is untouched.

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "host/nrvmp_record.h"
#include "standin/host/host_session.h"
#include "standin/host/workspace.h"
#include "standin/plugin/plugin_runner.h"
#include "tests/support/execute_lines.h"

namespace kelvane::testing {

// The bytes of a record that execute may set under a workspace's parameters:
// each field whose switch is on.
struct FieldBytes {
    std::size_t offset;
    std::size_t size;
};
std::vector<FieldBytes> settableFields(const nimbrel::Workspace& workspace);

struct HostileRun {
    nimbrel::Workspace before;  // the workspace as the host held it
    std::unique_ptr<nimbrel::HostSession> session;
    nimbrel::RunOutcome outcome;

    // The log lines execute wrote: the lines between initPlugin's three and
    // the destructor's one.
    Lines executeLines() const;
    int recordGets() const;
};

// Runs the plug-in (initPlugin, then execute when it agrees) on workspace.
HostileRun runHostile(nimbrel::Workspace& workspace);

// Every record handed back is its own map's, as the host gave it but for the
// settable fields (the overlay field included: the refresh pass writes it),
// and with the host's name pointer; after the run each map differs from
// before only in the settable fields.
void expectOnlyOwnBytesChanged(const HostileRun& run, const nimbrel::Workspace& after);

}  // namespace kelvane::testing
