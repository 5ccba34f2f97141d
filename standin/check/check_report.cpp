#include "standin/check/check_report.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace nimbrel::check {
namespace {

int count(const CheckRun& run, Status status) {
    return static_cast<int>(std::count_if(run.outcomes.begin(), run.outcomes.end(),
                                          [status](const CheckOutcome& o) { return o.status == status; }));
}

std::string upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string plural(int n, const char* word) {
    return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

}  // namespace

bool CheckRun::passed() const {
    return count(*this, Status::Fail) == 0;
}

void printOutcome(std::ostream& out, const CheckOutcome& outcome) {
    char head[80];
    std::snprintf(head, sizeof head, "%-8s %-30s ", upper(statusText(outcome.status)).c_str(), outcome.name.c_str());
    out << head << outcome.reason << std::endl;
    if (!outcome.fix.empty()) out << "         fix: " << outcome.fix << std::endl;
}

void printVerdict(std::ostream& out, const CheckRun& run) {
    const int failed = count(run, Status::Fail), warnings = count(run, Status::Warning);
    out << "\nVerdict: " << (failed == 0 ? "PASS" : "FAIL") << ", "
        << plural(static_cast<int>(run.outcomes.size()), "check") << " at strictness " << run.strictness;
    if (failed > 0) out << ", " << failed << " failed";
    if (warnings > 0) out << ", " << plural(warnings, "warning");
    if (const int skipped = count(run, Status::Skipped); skipped > 0) out << ", " << skipped << " skipped";
    out << std::endl;
}

nlohmann::ordered_json checkRunJson(const CheckRun& run) {
    nlohmann::ordered_json json;
    json["plugin"] = run.plugin;
    json["strictness"] = run.strictness;
    json["verdict"] = run.passed() ? "pass" : "fail";
    json["failed"] = count(run, Status::Fail);
    json["warnings"] = count(run, Status::Warning);
    json["skipped"] = count(run, Status::Skipped);
    json["checks"] = nlohmann::ordered_json::array();
    for (const CheckOutcome& o : run.outcomes) {
        nlohmann::ordered_json check;
        check["name"] = o.name;
        check["strictness"] = o.strictness;
        check["status"] = statusText(o.status);
        check["reason"] = o.reason;
        check["fix"] = o.fix.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(o.fix);
        check["lastCall"] = o.lastCall.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(o.lastCall);
        check["seconds"] = o.seconds;
        json["checks"].push_back(check);
    }
    return json;
}

}  // namespace nimbrel::check
