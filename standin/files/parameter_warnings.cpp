#include "standin/files/parameter_warnings.h"

namespace nimbrel {

const char* warningKindName(ParameterWarning::Kind kind) {
    switch (kind) {
        case ParameterWarning::Kind::OutsideChoices:
            return "outsideChoices";
        case ParameterWarning::Kind::GivenNotRead:
            return "givenNotRead";
        case ParameterWarning::Kind::ReadNotGiven:
            return "readNotGiven";
    }
    return "";
}

std::vector<ParameterWarning> valuesOutsideChoices(const DialogScript& script, const Workspace& workspace) {
    std::vector<ParameterWarning> warnings;
    for (const DialogParameter& p : script.parameters) {
        const auto given = workspace.parameters.find(p.name);
        if (p.choices.empty() || given == workspace.parameters.end() || given->second.kind != Parameter::Kind::Integer)
            continue;
        const int32_t value = given->second.integer;
        if (value < 0 || static_cast<std::size_t>(value) >= p.choices.size())
            warnings.push_back({ParameterWarning::Kind::OutsideChoices,
                                {p.name},
                                p.name + "=" + std::to_string(value) + " is none of its choices, 0 to " +
                                    std::to_string(p.choices.size() - 1) + "; the run goes on with it"});
    }
    return warnings;
}

std::vector<ParameterWarning> readingWarnings(const std::map<std::string, std::string>& given,
                                              const std::map<std::string, Parameter>& parameters,
                                              const std::set<std::string>& read, bool executed) {
    std::vector<ParameterWarning> warnings;
    if (executed)
        for (const auto& [name, where] : given)
            if (read.count(name) == 0)
                warnings.push_back({ParameterWarning::Kind::GivenNotRead,
                                    {name},
                                    name + " was given (" + where + ") but the plug-in never read it"});
    ParameterWarning unset{ParameterWarning::Kind::ReadNotGiven, {}, ""};
    for (const std::string& name : read)
        if (parameters.count(name) == 0) unset.parameters.push_back(name);
    if (unset.parameters.empty()) return warnings;
    std::string names;
    for (const std::string& name : unset.parameters) names += (names.empty() ? "" : ", ") + name;
    const bool one = unset.parameters.size() == 1;
    unset.text = "the plug-in read " +
                 (one ? std::string() : std::to_string(unset.parameters.size()) + " parameters ") +
                 (one ? names + ", which nobody gave" : "that nobody gave") +
                 " (the workspace, --param or the dialog script's defaults), so the host answered 0 or an empty "
                 "text" +
                 (one ? std::string() : ": " + names);
    warnings.push_back(std::move(unset));
    return warnings;
}

}  // namespace nimbrel
