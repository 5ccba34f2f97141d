#include "standin/host/host_call_watch.h"

#include <atomic>

namespace nimbrel {
namespace {

std::atomic<HostCallWatch*> theWatch{nullptr};

}  // namespace

void watchHostCalls(HostCallWatch* watch) {
    theWatch.store(watch);
}

HostCallWatch* hostCallWatch() {
    return theWatch.load();
}

}  // namespace nimbrel
