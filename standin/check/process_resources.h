#pragma once
// What of the process's resources a plug-in may hold, as the system reports
// it: threads with the CPU time each has used, child processes, and open
// descriptors (handles on Windows). Holding some is allowed (a thread pool,
// a file kept open); the check judges them by what they do (left_running.h)
// and whether they grow with the number of cycles (lifecycle_checks.cpp).

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace nimbrel::check {

// The system's number of a thread.
using ThreadNumber = unsigned long long;
ThreadNumber currentThreadNumber();

struct ThreadUse {
    double cpuSeconds = 0;  // the CPU time it has used
    bool runnable = false;  // running or waiting to run, where the system says (Linux)
};
// Every thread of this process, and how it uses the CPU.
std::map<ThreadNumber, ThreadUse> threadUse();

struct ChildProcess {
    long id = 0;
    std::string name;
    bool ended = false;  // it ended, and no one waited for it
};
// The child processes of this process (none are reported on Windows).
std::vector<ChildProcess> childProcesses();

// The descriptors (on Windows the handles) this process has open, and what
// they are called here.
int openDescriptors();
const char* descriptorsWord();

// How long the calling thread has been ready to run but waited for a CPU that
// other programs held (Linux; 0 where the system does not say), so that a
// call is not judged slow for the load of the machine it is checked on.
double cpuWaitSeconds();

}  // namespace nimbrel::check
