#pragma once
// What a module left running once its calls were over. A thread it left
// parked (blocked, using no CPU) is allowed: thread pools and the OpenMP
// runtime keep theirs for the next call. A thread that keeps using the CPU is
// a fault, as is a child process still running, or ended and never waited
// for. A thread that crashes, or calls the host, meanwhile is seen as it
// happens (check_command.cpp, contract_watch.h).

#include <chrono>
#include <optional>
#include <set>
#include <string>

#include "standin/check/process_resources.h"

namespace nimbrel::check {

class CheckChannel;

// Watches the threads not among threadsAtStart and the child processes for a
// while: until every thread has ended or stayed parked for a moment and every
// child has ended, for at most a grace period. Says on the channel first that
// the calls are over (lastCall returned at returned), so that a crash
// meanwhile is put down to what was left running. The fault, if any: "execute
// (...) left a thread running (...)".
std::optional<std::string> leftRunning(const std::set<ThreadNumber>& threadsAtStart, CheckChannel& channel,
                                       std::chrono::steady_clock::time_point returned, const std::string& lastCall);

}  // namespace nimbrel::check
