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
// How long a thread must stay parked to count as such: not runnable (where
// the system says, on Linux) and using next to no CPU. Where the system does
// not say whether a thread waits to run, it is watched longer, since a
// thread the machine's load keeps from running would seem parked.
#if defined(_WIN32)
constexpr std::chrono::milliseconds kParkedFor{300};
#else
constexpr std::chrono::milliseconds kParkedFor{150};
#endif
// The share of one CPU a parked thread may seem to use: some systems account
// CPU time by clock ticks, and show a parked thread a tick late.
constexpr double kParkedShare = 0.1;

struct Sample {
    Clock::time_point at;
    std::map<ThreadNumber, ThreadUse> threads;  // the module's
};

double seconds(Clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

// The share of one CPU a thread used from then to now; one that was not
// there then used all it has.
double shareSince(const Sample& then, const Sample& now, ThreadNumber thread) {
    const auto was = then.threads.find(thread);
    const double used = now.threads.at(thread).cpuSeconds - (was != then.threads.end() ? was->second.cpuSeconds : 0.0);
    const double elapsed = seconds(now.at - then.at);
    return elapsed > 0 ? used / elapsed : 0;
}

// The thread that used the most CPU from then to now, with its share of one CPU.
std::pair<ThreadNumber, double> busiest(const Sample& then, const Sample& now) {
    std::pair<ThreadNumber, double> most{0, 0.0};
    for (const auto& thread : now.threads) {
        const double share = shareSince(then, now, thread.first);
        if (share >= most.second) most = {thread.first, share};
    }
    return most;
}

// Whether every thread of the last sample stayed parked over the samples.
bool allParked(const std::deque<Sample>& samples) {
    for (const auto& thread : samples.back().threads) {
        if (shareSince(samples.front(), samples.back(), thread.first) > kParkedShare) return false;
        for (const Sample& sample : samples) {
            const auto seen = sample.threads.find(thread.first);
            if (seen != sample.threads.end() && seen->second.runnable) return false;
        }
    }
    return true;
}

}  // namespace

std::optional<std::string> leftRunning(const std::set<ThreadNumber>& threadsAtStart, CheckChannel& channel,
                                       Clock::time_point returned, const std::string& lastCall) {
    auto sample = [&threadsAtStart] {
        Sample taken{Clock::now(), threadUse()};
        for (ThreadNumber thread : threadsAtStart) taken.threads.erase(thread);
        return taken;
    };
    const Sample first = sample();
    std::vector<ChildProcess> children = childProcesses();
    if (first.threads.empty() && children.empty()) return std::nullopt;
    channel.watching(returned, lastCall);
    // The samples of the last kParkedFor, and the one just before them.
    std::deque<Sample> recent{first};
    while (recent.back().at - first.at < kGracePeriod) {
        std::this_thread::sleep_for(kStep);
        recent.push_back(sample());
        children = childProcesses();
        while (recent.size() > 2 && recent[1].at <= recent.back().at - kParkedFor) recent.pop_front();
        if (recent.back().threads.empty() && children.empty()) return std::nullopt;
        const bool watchedLongEnough = recent.back().at - recent.front().at >= kParkedFor;
        if (children.empty() && watchedLongEnough && allParked(recent)) return std::nullopt;
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
