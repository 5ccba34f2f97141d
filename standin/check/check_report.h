#pragma once
// What a conformance run found: one line per check, a verdict, and the same
// as JSON.

#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "standin/check/check_context.h"

namespace nimbrel::check {

struct CheckOutcome {
    std::string name;
    int strictness = 1;
    Status status = Status::Fail;
    std::string reason;
    std::string lastCall;  // the call running when the check ended, if any was announced
    std::string fix;       // what the author does about a failure or warning, when known
    double seconds = 0;
};

struct CheckRun {
    std::string plugin;
    int strictness = 2;
    std::vector<CheckOutcome> outcomes;

    bool passed() const;  // no check failed
};

// "PASS     exports                        all seven are exported", and a
// "         fix: ..." line after a failure or warning whose fix is known
void printOutcome(std::ostream& out, const CheckOutcome& outcome);
// "Verdict: PASS, 21 checks at strictness 3 (1 warning)"
void printVerdict(std::ostream& out, const CheckRun& run);
nlohmann::ordered_json checkRunJson(const CheckRun& run);

}  // namespace nimbrel::check
