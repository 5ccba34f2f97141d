#pragma once
// What a run of execute writes to the log and hands back to the host, as tests
// spell it out.

#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <string>
#include <vector>

#include "standin/host/host_session.h"

namespace kelvane::testing {

using Lines = std::vector<std::string>;

// The rule that frames the option report, and execute's last two lines.
inline const std::string kRule = "Kelvane>  -----";
inline const Lines kClosing = {"Kelvane>", "Kelvane>  Finished!"};

inline Lines concat(std::initializer_list<Lines> parts) {
    Lines all;
    for (const Lines& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// The lines as log events, the form of eventLines (standin_fixture.h).
inline Lines logged(const Lines& lines) {
    Lines events;
    for (const std::string& line : lines) events.push_back("log: " + line);
    return events;
}

// The update pass's line for a map (1-based), and its line for a map the host
// could not give.
inline std::string setting(int map) {
    return "Kelvane>  Setting parameters for map " + std::to_string(map);
}
inline std::string unreadable(int map) {
    return "Kelvane>  Map " + std::to_string(map) + " could not be read, left unchanged";
}

// One record handed back to the host: its map index and overlay field.
struct SetRecord {
    int32_t index;
    int32_t overlay;
    bool operator==(const SetRecord& o) const { return index == o.index && overlay == o.overlay; }
};
inline void PrintTo(const SetRecord& r, std::ostream* os) {
    *os << "(map " << r.index << ", overlay " << r.overlay << ")";
}

// Every record a session's plug-in handed back, in order.
inline std::vector<SetRecord> setsOf(const nimbrel::HostSession& session) {
    std::vector<SetRecord> sets;
    for (const auto& set : session.recordsSet()) sets.push_back({set.index, set.record.overlay});
    return sets;
}

}  // namespace kelvane::testing
