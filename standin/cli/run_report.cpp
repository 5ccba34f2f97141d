#include "standin/cli/run_report.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <iterator>
#include <sstream>

#include "standin/cli/terminal_text.h"
#include "standin/files/dialog_script.h"
#include "standin/files/workspace_json.h"

namespace nimbrel {
namespace {

using json = nlohmann::ordered_json;
using kelvane::NRVMPRecord;

std::string padRight(const std::string& text, std::size_t width) {
    const std::size_t w = columns(text);
    return w >= width ? text : text + std::string(width - w, ' ');
}

std::string padLeft(const std::string& text, std::size_t width) {
    const std::size_t w = columns(text);
    return w >= width ? text : std::string(width - w, ' ') + text;
}

// Every line of a text; a text without a line break is one line.
std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) result.push_back(line);
    if (result.empty()) result.push_back("");
    return result;
}

struct Column {
    const char* title;
    bool numeric;
    std::function<std::string(const VolumeMap&)> value;
};

// The name, then the record's numbers in the columns their table gives them.
const std::vector<Column>& columns() {
    static const std::vector<Column> all = [] {
        std::vector<Column> list(std::size(kMapNumbers) + 1);
        list[0] = {"name", false, [](const VolumeMap& m) { return visible(m.name()); }};
        for (const MapNumber& n : kMapNumbers)
            list[static_cast<std::size_t>(n.column)] = {
                n.title != nullptr ? n.title : n.key, true, [n](const VolumeMap& m) {
                    return n.integer != nullptr ? std::to_string(m.record.*n.integer)
                                                : shortestFloatText(m.record.*n.real);
                }};
        return list;
    }();
    return all;
}

// The narrowest the name column is made before other columns are left out.
constexpr std::size_t kNarrowestNames = 32;

// Where the values of the header's and the result's lines begin.
const std::string kResultIndent(16, ' ');

// The opaque ranges of two records that differ, as "48, 88".
std::string changedOpaqueRanges(const NRVMPRecord& before, const NRVMPRecord& after) {
    std::string changed;
    const auto* a = reinterpret_cast<const unsigned char*>(&before);
    const auto* b = reinterpret_cast<const unsigned char*>(&after);
    for (const OpaqueRange& r : kOpaqueRanges)
        if (std::memcmp(a + r.offset, b + r.offset, r.size) != 0)
            changed += (changed.empty() ? "" : ", ") + std::string(r.key);
    return changed;
}

std::string yesNo(bool value) {
    return value ? "true" : "false";
}

// The hostile modes that are on, one phrase each.
std::vector<std::string> hostileModes(const HostileModes& h) {
    std::vector<std::string> modes;
    if (!h.nullRecordIndices.empty()) {
        std::string maps;
        for (int32_t index : h.nullRecordIndices)
            maps += (maps.empty() ? "" : ", ") + std::to_string(static_cast<int64_t>(index) + 1);
        modes.push_back("no record for map" + std::string(h.nullRecordIndices.size() == 1 ? " " : "s ") + maps);
    }
    if (h.randomNullRecords) {
        std::ostringstream mode;
        mode << "no record at random (chance " << h.randomNullRecords->chance << ", seed " << h.randomNullRecords->seed
             << ")";
        modes.push_back(mode.str());
    }
    if (h.reportedMapCount) modes.push_back("says it has " + std::to_string(*h.reportedMapCount) + " maps");
    if (h.unterminatedStrings) modes.push_back("text parameters fill all 512 bytes with no terminator");
    if (h.mapCreationFails) modes.push_back("cannot create a map");
    if (h.nullMapNames) modes.push_back("records come with no name storage");
    if (h.reportedDocumentCount)
        modes.push_back("says it has " + std::to_string(*h.reportedDocumentCount) + " documents");
    return modes;
}

}  // namespace

std::string tracePrefix(const Marks& marks) {
    return std::string("  trace ") + marks.bar + " ";
}

std::vector<std::pair<std::string, std::optional<std::string>>> descriptorList(const PluginDescriptors& d) {
    return {{"getPluginName", d.name},   {"getPluginDescription", d.description}, {"getAuthor", d.author},
            {"getHelpFile", d.helpFile}, {"getPluginVersion", d.version},         {"getGUIScript", d.guiScript}};
}

std::string mapsTable(const std::vector<VolumeMap>& before, const std::vector<VolumeMap>& after, const Marks& marks,
                      std::size_t width) {
    const std::size_t rows = std::max(before.size(), after.size());
    if (rows == 0) return "No maps on the current VMR.\n";

    // cells[row][0] is the map number, then one per column; the name (cell
    // 1) is made once its width is known, from names[row]: before and after.
    std::vector<std::vector<std::string>> cells;
    std::vector<std::pair<std::string, std::optional<std::string>>> names;
    std::vector<std::string> notes;
    std::vector<bool> changed(columns().size() + 1, false);  // by table column
    for (std::size_t i = 0; i < rows; ++i) {
        const VolumeMap* b = i < before.size() ? &before[i] : nullptr;
        const VolumeMap* a = i < after.size() ? &after[i] : nullptr;
        std::vector<std::string> row{std::to_string(i + 1) + (b == nullptr ? " new" : a == nullptr ? " gone" : "")};
        for (std::size_t c = 0; c < columns().size(); ++c) {
            const Column& column = columns()[c];
            std::string was = b != nullptr ? column.value(*b) : "";
            std::string is = a != nullptr ? column.value(*a) : "";
            if (c == 0) {
                names.emplace_back(b != nullptr ? was : is, std::nullopt);
                if (a != nullptr && b != nullptr && was != is) {
                    names.back().second = is;
                    changed[1] = true;
                }
                row.push_back("");
            } else if (b == nullptr) {
                row.push_back(is);
            } else if (a == nullptr || was == is) {
                row.push_back(was);
            } else {
                row.push_back(was + marks.arrow + is);
                changed[c + 1] = true;
            }
        }
        if (a != nullptr && b != nullptr) {
            std::string opaque = changedOpaqueRanges(b->record, a->record);
            if (!opaque.empty())
                notes.push_back("map " + std::to_string(i + 1) + ": opaque bytes changed at offset " + opaque);
        }
        cells.push_back(std::move(row));
    }
    // A name cell within nameWidth columns, the names cut in the middle when they must be.
    const std::size_t arrowWidth = columns(marks.arrow);
    auto nameCell = [&](std::size_t row, std::size_t nameWidth) {
        const auto& [was, is] = names[row];
        if (!is) return clipMiddle(was, nameWidth, marks);
        // Both names share the room; one that needs less than half leaves the rest to the other.
        const std::size_t room = nameWidth > arrowWidth ? nameWidth - arrowWidth : 0;
        const std::size_t wasWidth = columns(was), isWidth = columns(*is);
        std::size_t wasRoom = room - room / 2, isRoom = room / 2;
        if (wasWidth + isWidth <= room)
            wasRoom = wasWidth, isRoom = isWidth;
        else if (isWidth <= isRoom)
            wasRoom = room - isWidth;
        else if (wasWidth <= wasRoom)
            isRoom = room - wasWidth;
        return clipMiddle(was, wasRoom, marks) + marks.arrow + clipMiddle(*is, isRoom, marks);
    };

    std::vector<std::string> titles{"#"};
    for (const Column& column : columns()) titles.push_back(column.title);
    std::vector<std::size_t> widths;
    for (std::size_t c = 0; c < titles.size(); ++c) {
        std::size_t columnWidth = columns(titles[c]);
        for (std::size_t r = 0; r < rows; ++r)
            columnWidth = std::max(columnWidth, columns(c == 1 ? nameCell(r, SIZE_MAX) : cells[r][c]));
        widths.push_back(columnWidth);
    }
    auto numeric = [](std::size_t c) { return c == 0 || columns()[c - 1].numeric; };

    // Too wide for the terminal, the names give up what they must, down to
    // kNarrowestNames columns; then the columns without a change go, from the
    // right; if that is not enough, each map gets a block of its own.
    std::vector<std::size_t> shown(titles.size());
    for (std::size_t c = 0; c < shown.size(); ++c) shown[c] = c;
    const std::size_t wholeNames = widths[1];
    auto others = [&] {
        std::size_t sum = 0;
        for (std::size_t c : shown)
            if (c != 1) sum += widths[c] + 2;
        return sum;
    };
    auto fitNames = [&] {
        const std::size_t narrowest = std::min(wholeNames, std::max(kNarrowestNames, columns(titles[1])));
        widths[1] = width == 0 ? wholeNames
                               : std::min(wholeNames, std::max(narrowest, width > others() ? width - others() : 0));
    };
    auto total = [&] {
        fitNames();
        return others() + widths[1];
    };
    std::vector<std::string> leftOut;
    for (std::size_t c = titles.size(); width > 0 && total() > width && c-- > 2;)
        if (!changed[c]) {
            shown.erase(std::find(shown.begin(), shown.end(), c));
            leftOut.insert(leftOut.begin(), titles[c]);
        }

    std::ostringstream out;
    if (width > 0 && total() > width) {
        for (std::size_t r = 0; r < rows; ++r) {
            const auto& row = cells[r];
            out << fitLines("map " + row[0] + "  " + nameCell(r, SIZE_MAX), width, "  ") << "\n";
            std::string line;
            for (std::size_t c = 2; c < row.size(); ++c) {
                const std::string item = titles[c] + " " + row[c];
                if (!line.empty() && 2 + columns(line) + 2 + columns(item) > width) {
                    out << "  " << line << "\n";
                    line.clear();
                }
                line += (line.empty() ? "" : "  ") + item;
            }
            out << "  " << line << "\n";
        }
    } else {
        for (std::size_t r = 0; r < rows; ++r) {
            cells[r][1] = nameCell(r, widths[1]);
            if (names[r].second && cells[r][1] != names[r].first + marks.arrow + *names[r].second)
                notes.push_back("map " + std::to_string(r + 1) + ": name changed to \"" +
                                shortened(*names[r].second, marks) + "\"");
        }
        auto line = [&](const std::vector<std::string>& row) {
            std::string text;
            for (std::size_t c : shown) {
                if (c > 0) text += "  ";
                text += numeric(c) ? padLeft(row[c], widths[c]) : padRight(row[c], widths[c]);
            }
            while (!text.empty() && text.back() == ' ') text.pop_back();
            out << text << "\n";
        };
        line(titles);
        out << repeated(marks.rule, total()) << "\n";
        for (const auto& row : cells) line(row);
        if (!leftOut.empty()) {
            // The note, in lines that fit too.
            std::string note = "! left out to fit, unchanged:";
            for (std::size_t i = 0; i < leftOut.size(); ++i) {
                const std::string item = leftOut[i] + (i + 1 < leftOut.size() ? "," : "");
                if (columns(note) + 1 + columns(item) > width) {
                    out << note << "\n";
                    note = " ";
                }
                note += " " + item;
            }
            out << note << "\n";
        }
    }
    for (const std::string& note : notes) out << fitLines("! " + note, width, "  ") << "\n";
    return out.str();
}

std::string wrapItems(const std::vector<std::string>& items, std::size_t width) {
    // 84 columns of items after the label.
    const std::size_t kLineWidth = columns(kValueIndent) + 84;
    const std::size_t lineWidth = width > 0 ? std::min(width, kLineWidth) : kLineWidth;
    std::string text;
    std::size_t column = columns(kValueIndent);
    for (const std::string& item : items) {
        if (column > columns(kValueIndent) && column + 2 + columns(item) > lineWidth) {
            text += std::string("\n") + kValueIndent;
            column = columns(kValueIndent);
        } else if (column > columns(kValueIndent)) {
            text += "  ";
            column += 2;
        }
        text += item;
        column += columns(item);
    }
    return text;
}

void ConsolePrinter::put(const std::string& line, const std::string& indent) {
    out_ << fitLines(line, width_, indent) << "\n";
}

void ConsolePrinter::header(const std::string& pluginPath, const std::optional<std::string>& workspacePath,
                            const Workspace& workspace, const PluginDescriptors& descriptors, bool parametersChecked) {
    out_ << "Nimbrel.exe stand-in host\n";
    put("  plug-in     " + visible(pluginPath));
    put("  workspace   " + (workspacePath ? visible(*workspacePath) : std::string("(none: an empty workspace)")));
    if (!workspace.description.empty()) put(kValueIndent + shortened(visible(workspace.description), marks_));
    const HostVersion& v = workspace.version;
    std::ostringstream host;
    host << "  host        version " << v.major << "." << v.minor << "." << v.release << ", "
         << workspace.documents.size() << (workspace.documents.size() == 1 ? " document" : " documents") << ", ";
    const int32_t current = workspace.currentDocument;
    if (current < 0 || static_cast<std::size_t>(current) >= workspace.documents.size()) {
        host << "no current document";
    } else {
        const Document& d = workspace.documents[static_cast<std::size_t>(current)];
        std::string type = documentTypeText(d.type);
        host << "current \"" << visible(d.name) << "\" (" << (type.empty() ? "type " + std::to_string(d.type) : type)
             << ", id " << current << ")";
    }
    host << ", " << workspace.maps.size() << (workspace.maps.size() == 1 ? " map" : " maps");
    put(host.str());
    const std::vector<std::string> modes = hostileModes(workspace.hostile);
    for (std::size_t i = 0; i < modes.size(); ++i) put((i == 0 ? "  hostile     " : kValueIndent) + modes[i]);

    std::vector<std::string> items;
    for (const auto& [name, p] : workspace.parameters)
        items.push_back(visible(name) + "=" +
                        (p.kind == Parameter::Kind::Text ? "\"" + shortened(visible(p.text), marks_) + "\""
                                                         : parameterValueText(p)));
    const std::string parameters = wrapItems(items, width_);
    put("  parameters  " + (parameters.empty() ? std::string("(none)") : parameters));
    if (!parametersChecked)
        put(kValueIndent + std::string("taken as given: no dialog script declares their names and types"));
    out_ << "\n";

    out_ << "Plug-in descriptors\n";
    for (const auto& [function, text] : descriptorList(descriptors))
        put("  " + padRight(function, 22) +
                (text ? shortened(visible(*text), marks_) : std::string("(not exported, or null)")),
            std::string(24, ' '));
    out_ << std::flush;
}

std::string messageBoxText(const std::string& text, const Marks& marks, std::size_t width) {
    const std::string bar = std::string("  ") + marks.bar + " ";
    std::string box = std::string("  ") + marks.topLeft + marks.rule + " MESSAGE BOX " + repeated(marks.rule, 8) + "\n";
    for (const std::string& line : lines(text))
        box += fitLines(bar + shortened(visible(line), marks), width, bar) + "\n";
    return box + "  " + marks.bottomLeft + repeated(marks.rule, 22) + "\n";
}

void ConsolePrinter::event(const HostEvent& event) {
    if (!runStarted_) {
        out_ << "\nRun\n";
        runStarted_ = true;
    }
    if (event.kind == HostEvent::Kind::Log) {
        for (const std::string& line : lines(event.text))
            put(std::string("  log ") + marks_.bar + " " + shortened(visible(line), marks_),
                std::string("      ") + marks_.bar + " ");
    } else {
        out_ << messageBoxText(event.text, marks_, width_);
    }
    out_ << std::flush;
}

void ConsolePrinter::outcome(const RunOutcome& outcome, int redraws) {
    out_ << "\nResult\n";
    if (!outcome.created) {
        put("  createPlugin  returned null: no plug-in object, nothing ran", kResultIndent);
        return;
    }
    put("  initPlugin    " + yesNo(outcome.initialised), kResultIndent);
    put("  execute       " +
            (outcome.executed ? yesNo(*outcome.executed) : std::string("not called (initPlugin returned false)")),
        kResultIndent);
    put("  redraws       " + std::to_string(redraws), kResultIndent);
}

void ConsolePrinter::warnings(const std::vector<ParameterWarning>& warnings) {
    for (const ParameterWarning& warning : warnings)
        if (warning.kind != ParameterWarning::Kind::OutsideChoices)
            put("  warning       " + visible(warning.text), kResultIndent);
    out_ << std::flush;
}

void ConsolePrinter::maps(const std::vector<VolumeMap>& before, const std::vector<VolumeMap>& after) {
    out_ << "\n";
    put(std::string("Maps of the current VMR (a change shows as before") + marks_.arrow + "after)", "  ");
    const std::size_t tableWidth = width_ > 2 ? width_ - 2 : 0;  // within the report's indent
    for (const std::string& line : lines(mapsTable(before, after, marks_, tableWidth))) out_ << "  " << line << "\n";
    out_ << std::flush;
}

json reportJson(const RunRecord& run) {
    json report;
    report["formatVersion"] = kReportFormatVersion;
    report["plugin"] = run.pluginPath;
    report["workspace"] = run.workspacePath ? json(*run.workspacePath) : json(nullptr);
    json descriptors = json::object();
    for (const auto& [function, text] : descriptorList(run.outcome.descriptors))
        descriptors[function] = text ? json(*text) : json(nullptr);
    report["descriptors"] = descriptors;
    report["created"] = run.outcome.created;
    report["initPlugin"] = run.outcome.initialised;
    report["execute"] = run.outcome.executed ? json(*run.outcome.executed) : json(nullptr);
    json events = json::array();
    json log = json::array();
    json messages = json::array();
    for (const HostEvent& event : run.events) {
        const bool isLog = event.kind == HostEvent::Kind::Log;
        events.push_back({{"kind", isLog ? "log" : "message"}, {"text", event.text}});
        (isLog ? log : messages).push_back(event.text);
    }
    report["events"] = events;
    report["log"] = log;
    report["messages"] = messages;
    report["eventsLeftOut"] = run.eventsLeftOut;
    report["redraws"] = run.redraws;
    report["unprovidedCalls"] = run.unprovidedCalls;
    report["calls"] = run.calls;
    report["callsLeftOut"] = run.callsLeftOut;
    json before = json::array();
    for (const VolumeMap& map : run.mapsBefore) before.push_back(mapToJson(map));
    json after = json::array();
    for (const VolumeMap& map : run.mapsAfter) after.push_back(mapToJson(map));
    report["mapsBefore"] = before;
    report["mapsAfter"] = after;
    json warnings = json::array();
    for (const ParameterWarning& warning : run.warnings)
        warnings.push_back(
            {{"kind", warningKindName(warning.kind)}, {"parameters", warning.parameters}, {"text", warning.text}});
    report["warnings"] = warnings;
    return report;
}

}  // namespace nimbrel
