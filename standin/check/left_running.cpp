#include "standin/check/left_running.h"

#include <deque>
#include <map>
#include <thread>
#include <vector>

#include "standin/check/check_context.h"

namespace nimbrel::check {
namespace {

using Clock = std::chrono::steady_clock;

// How long what was left running is watched at most, and how often it is looked at.
constexpr std::chrono::milliseconds kGracePeriod{1000};
constexpr std::chrono::milliseconds kStep{10};
// How long a thread must stay parked to count as such.
constexpr std::chrono::milliseconds kParkedFor{150};
// The share of one CPU a parked thread may seem to use: some systems account
// CPU time by clock ticks, and show a parked thread a tick late.
constexpr double kParkedShare = 0.1;

struct Sample {
    Clock::time_point at;
    std::map<ThreadNumber, double> cpu;  // the module's threads
};

double seconds(Clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

// The CPU time a thread used from then to now; one that was not there then
// used all it has.
double usedSince(const Sample& then, const Sample& now, ThreadNumber thread) {
    const auto was = then.cpu.find(thread);
    return now.cpu.at(thread) - (was != then.cpu.end() ? was->second : 0.0);
}

// The thread that used the most CPU from then to now, with its share of one CPU.
std::pair<ThreadNumber, double> busiest(const Sample& then, const Sample& now) {
    std::pair<ThreadNumber, double> most{0, 0.0};
    const double elapsed = seconds(now.at - then.at);
    for (const auto& [thread, cpu] : now.cpu) {
        const double share = elapsed > 0 ? usedSince(then, now, thread) / elapsed : 0;
        if (share >= most.second) most = {thread, share};
    }
    return most;
}

}  // namespace

std::optional<std::string> leftRunning(const std::set<ThreadNumber>& threadsAtStart, CheckChannel& channel,
                                       Clock::time_point returned, const std::string& lastCall) {
    auto sample = [&threadsAtStart] {
        Sample taken{Clock::now(), threadCpuSeconds()};
        for (ThreadNumber thread : threadsAtStart) taken.cpu.erase(thread);
        return taken;
    };
    const Sample first = sample();
    std::vector<ChildProcess> children = childProcesses();
    if (first.cpu.empty() && children.empty()) return std::nullopt;
    channel.watching(returned, lastCall);
    // The samples of the last kParkedFor, and the one just before them.
    std::deque<Sample> recent{first};
    while (recent.back().at - first.at < kGracePeriod) {
        std::this_thread::sleep_for(kStep);
        recent.push_back(sample());
        children = childProcesses();
        while (recent.size() > 2 && recent[1].at <= recent.back().at - kParkedFor) recent.pop_front();
        const Sample& now = recent.back();
        if (now.cpu.empty() && children.empty()) return std::nullopt;
        const bool watchedLongEnough = now.at - recent.front().at >= kParkedFor;
        if (children.empty() && watchedLongEnough && busiest(recent.front(), now).second <= kParkedShare)
            return std::nullopt;
    }
    const std::string what = lastCall.empty() ? "the calls" : lastCall;
    if (!children.empty()) {
        const ChildProcess& child = children.front();
        std::string named = "(process " + std::to_string(child.id) + ", " + child.name + ")";
        if (children.size() > 1) named += " and " + std::to_string(children.size() - 1) + " more";
        return what +
               (child.ended ? " left a child process that ended and was never waited for "
                            : " left a child process running ") +
               named + ": end the processes you start, and wait for them, before the call returns";
    }
    const Sample& now = recent.back();
    const auto [thread, share] = busiest(first, now);
    const auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(now.at - first.at).count();
    return what + " left a thread running (thread " + std::to_string(thread) + " used " +
           std::to_string(static_cast<int>(share * 100 + 0.5)) + "% of a CPU in the " + std::to_string(milliseconds) +
           " ms after the calls): a thread may stay only parked, blocked and using no CPU";
}

}  // namespace nimbrel::check
