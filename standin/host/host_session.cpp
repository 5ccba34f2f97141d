#include "standin/host/host_session.h"

namespace nimbrel {
namespace {

HostSession* currentSession = nullptr;

}  // namespace

HostSession::HostSession(Workspace& workspace) : workspace_(workspace), previous_(currentSession) {
    if (workspace_.hostile.randomNullRecords) nullRecordDraws_.seed(workspace_.hostile.randomNullRecords->seed);
    currentSession = this;
}

HostSession::~HostSession() {
    if (currentSession == this) currentSession = previous_;
}

HostSession* HostSession::current() {
    return currentSession;
}

std::vector<std::string> HostSession::logLines() const {
    std::vector<std::string> lines;
    for (const HostEvent& event : events_)
        if (event.kind == HostEvent::Kind::Log) lines.push_back(event.text);
    return lines;
}

std::vector<std::string> HostSession::messages() const {
    std::vector<std::string> texts;
    for (const HostEvent& event : events_)
        if (event.kind == HostEvent::Kind::Message) texts.push_back(event.text);
    return texts;
}

void HostSession::addEvent(HostEvent::Kind kind, std::string text) {
    HostEvent event{kind, std::move(text)};
    if (onEvent) onEvent(event);
    if (events_.size() < eventsKept_)
        events_.push_back(std::move(event));
    else
        ++eventsLeftOut_;
}

void HostSession::recordCall(std::string call) {
    if (calls_.size() < callsKept_)
        calls_.push_back(std::move(call));
    else
        ++callsLeftOut_;
}

bool HostSession::drawNullRecord() {
    const auto& random = workspace_.hostile.randomNullRecords;
    if (!random) return false;
    // The draw is the generator's own output, the same on every platform.
    const double draw = static_cast<double>(nullRecordDraws_() >> 8) / 16777216.0;
    return draw < random->chance;
}

}  // namespace nimbrel
