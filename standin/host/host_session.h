#pragma once
// host/: the host's side of the boundary. The workspace in memory
// (workspace.h), the session of one run that the host functions act on (this
// file), what each host function does when a plug-in calls it
// (served_functions.h, after host/host_function_list.inc), the functions
// this executable exports under their plain names for plug-ins to find
// (host_exports.h), and the watch that sees each call before it is served
// (host_call_watch.h, with each function's contract in host_call_contracts.h).
// The plug-in calls them on the one thread that calls it, and only once
// initPlugin has bound its table.
//
// One run of a plug-in against a workspace: the state the exported host
// functions act on, and everything the plug-in showed or asked.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "standin/host/host_call_watch.h"
#include "standin/host/workspace.h"

namespace nimbrel {

struct HostEvent {
    enum class Kind { Log, Message };
    Kind kind = Kind::Log;
    std::string text;
};

class HostSession {
public:
    // The session becomes the one the host functions act on, until it ends.
    explicit HostSession(Workspace& workspace);
    ~HostSession();
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    // The session the host functions act on now, or null.
    static HostSession* current();

    Workspace& workspace() { return workspace_; }
    // The log lines and message boxes, all of them or the first ones
    // keepAtMost allows; every one goes to onEvent as it comes, so that a
    // plug-in that logs without end costs time, not memory.
    const std::vector<HostEvent>& events() const { return events_; }
    // How many came after those kept.
    std::size_t eventsLeftOut() const { return eventsLeftOut_; }
    std::vector<std::string> logLines() const;
    std::vector<std::string> messages() const;
    // The host functions called, in order, with their arguments
    // ("nbGetIntParameter(DoSetMin)"): all, or the first ones keepAtMost allows.
    const std::vector<std::string>& calls() const { return calls_; }
    // How many came after those kept.
    std::size_t callsLeftOut() const { return callsLeftOut_; }
    int redraws() const { return redraws_; }
    // The dialog parameters the plug-in asked the value of, by name.
    const std::set<std::string>& parametersRead() const { return parametersRead_; }
    // Every record a plug-in handed back, in order, with its map index.
    struct RecordSet {
        int32_t index;
        kelvane::NRVMPRecord record;
    };
    const std::vector<RecordSet>& recordsSet() const { return recordsSet_; }

    // Keeps no more than that many events and calls; those after are counted.
    void keepAtMost(std::size_t events, std::size_t calls) {
        eventsKept_ = events;
        callsKept_ = calls;
    }

    // Called for each log line and message box as it happens.
    std::function<void(const HostEvent&)> onEvent;
    // Called for each host function the stand-in does not provide.
    std::function<void(const std::string& function)> onUnprovidedCall;

    // Used by the exported host functions.
    void addEvent(HostEvent::Kind kind, std::string text);
    void recordCall(std::string call);
    void countRedraw() { ++redraws_; }
    void noteParameterRead(const std::string& name) { parametersRead_.insert(name); }
    void recordSet(int32_t index, const kelvane::NRVMPRecord& record) { recordsSet_.push_back({index, record}); }
    // Storage behind the last type name handed out by nbGetDocumentTypeName.
    std::string typeNameBuffer;
    // Whether this record read fails, under the workspace's random null records.
    bool drawNullRecord();

private:
    Workspace& workspace_;
    HostSession* previous_;
    std::vector<HostEvent> events_;
    std::size_t eventsLeftOut_ = 0;
    std::vector<std::string> calls_;
    std::size_t callsLeftOut_ = 0;
    std::size_t eventsKept_ = SIZE_MAX;
    std::size_t callsKept_ = SIZE_MAX;
    int redraws_ = 0;
    std::set<std::string> parametersRead_;
    std::vector<RecordSet> recordsSet_;
    std::mt19937 nullRecordDraws_;
};

}  // namespace nimbrel
