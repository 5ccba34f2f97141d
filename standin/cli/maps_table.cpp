#include "standin/cli/maps_table.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <iterator>
#include <optional>
#include <sstream>
#include <utility>

#include "standin/files/workspace_json.h"

namespace nimbrel {
namespace {

using kelvane::NRVMPRecord;

struct Column {
    const char* title;
    bool numeric;
    std::function<std::string(const VolumeMap&)> value;
};

// The name, then the record's numbers in the columns their table gives them.
const std::vector<Column>& tableColumns() {
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

// A map's name before the run, and after it when it changed.
using MapName = std::pair<std::string, std::optional<std::string>>;

// The table's cells, the names still to be fitted.
struct MapCells {
    // rows[row][0] is the map number, then one per column; the name (cell
    // 1) is made once its width is known, from names[row].
    std::vector<std::vector<std::string>> rows;
    std::vector<MapName> names;
    std::vector<std::string> notes;
    std::vector<bool> changed = std::vector<bool>(tableColumns().size() + 1, false);  // by table column
};

// The row of map number, which b was before the run and a is after it (null: none).
void addRow(MapCells& cells, std::size_t number, const VolumeMap* b, const VolumeMap* a, const Marks& marks) {
    std::vector<std::string> row{std::to_string(number) + (b == nullptr ? " new" : a == nullptr ? " gone" : "")};
    for (std::size_t c = 0; c < tableColumns().size(); ++c) {
        const Column& column = tableColumns()[c];
        std::string was = b != nullptr ? column.value(*b) : "";
        std::string is = a != nullptr ? column.value(*a) : "";
        if (c == 0) {
            cells.names.emplace_back(b != nullptr ? was : is, std::nullopt);
            if (a != nullptr && b != nullptr && was != is) {
                cells.names.back().second = is;
                cells.changed[1] = true;
            }
            row.push_back("");
        } else if (b == nullptr) {
            row.push_back(is);
        } else if (a == nullptr || was == is) {
            row.push_back(was);
        } else {
            row.push_back(was + marks.arrow + is);
            cells.changed[c + 1] = true;
        }
    }
    if (a != nullptr && b != nullptr) {
        std::string opaque = changedOpaqueRanges(b->record, a->record);
        if (!opaque.empty())
            cells.notes.push_back("map " + std::to_string(number) + ": opaque bytes changed at offset " + opaque);
    }
    cells.rows.push_back(std::move(row));
}

MapCells mapCells(const std::vector<VolumeMap>& before, const std::vector<VolumeMap>& after, const Marks& marks) {
    MapCells cells;
    const std::size_t rows = std::max(before.size(), after.size());
    for (std::size_t i = 0; i < rows; ++i)
        addRow(cells, i + 1, i < before.size() ? &before[i] : nullptr, i < after.size() ? &after[i] : nullptr, marks);
    return cells;
}

// A name cell within nameWidth columns, the names cut in the middle when they must be.
std::string nameCell(const MapName& name, std::size_t nameWidth, const Marks& marks) {
    const auto& [was, is] = name;
    if (!is) return clipMiddle(was, nameWidth, marks);
    // Both names share the room; one that needs less than half leaves the rest to the other.
    const std::size_t arrowWidth = columns(marks.arrow);
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
}

// The columns shown and their widths. Too wide for the terminal, the names
// give up what they must, down to kNarrowestNames columns; then the columns
// without a change go, from the right; if that is not enough, each map gets
// a block of its own (fits() is false).
class TableLayout {
public:
    TableLayout(const MapCells& cells, std::size_t width, const Marks& marks) : width_(width) {
        titles.push_back("#");
        for (const Column& column : tableColumns()) titles.push_back(column.title);
        for (std::size_t c = 0; c < titles.size(); ++c) {
            std::size_t columnWidth = columns(titles[c]);
            for (std::size_t r = 0; r < cells.rows.size(); ++r)
                columnWidth = std::max(columnWidth,
                                       columns(c == 1 ? nameCell(cells.names[r], SIZE_MAX, marks) : cells.rows[r][c]));
            widths.push_back(columnWidth);
            shown.push_back(c);
        }
        wholeNames_ = widths[1];
        for (std::size_t c = titles.size(); width > 0 && total() > width && c-- > 2;)
            if (!cells.changed[c]) {
                shown.erase(std::find(shown.begin(), shown.end(), c));
                leftOut.insert(leftOut.begin(), titles[c]);
            }
    }

    // The table's width, the names fitted to what the other columns leave.
    std::size_t total() {
        const std::size_t narrowest = std::min(wholeNames_, std::max(kNarrowestNames, columns(titles[1])));
        widths[1] = width_ == 0 ? wholeNames_
                                : std::min(wholeNames_, std::max(narrowest, width_ > others() ? width_ - others() : 0));
        return others() + widths[1];
    }

    bool fits() { return width_ == 0 || total() <= width_; }

    std::vector<std::string> titles;
    std::vector<std::size_t> widths;
    std::vector<std::size_t> shown;    // the table columns shown, in order
    std::vector<std::string> leftOut;  // the titles of those left out

private:
    std::size_t others() const {
        std::size_t sum = 0;
        for (std::size_t c : shown)
            if (c != 1) sum += widths[c] + 2;
        return sum;
    }

    std::size_t width_;
    std::size_t wholeNames_ = 0;
};

// Each map as a block of its own: its number and name, then "title value" items.
void printBlocks(std::ostream& out, const MapCells& cells, const std::vector<std::string>& titles, std::size_t width,
                 const Marks& marks) {
    for (std::size_t r = 0; r < cells.rows.size(); ++r) {
        const auto& row = cells.rows[r];
        out << fitLines("map " + row[0] + "  " + nameCell(cells.names[r], SIZE_MAX, marks), width, "  ") << "\n";
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
}

// The note of the columns left out, in lines that fit too.
void printLeftOut(std::ostream& out, const std::vector<std::string>& leftOut, std::size_t width) {
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

void printTable(std::ostream& out, MapCells& cells, TableLayout& layout, std::size_t width, const Marks& marks) {
    for (std::size_t r = 0; r < cells.rows.size(); ++r) {
        const MapName& name = cells.names[r];
        cells.rows[r][1] = nameCell(name, layout.widths[1], marks);
        if (name.second && cells.rows[r][1] != name.first + marks.arrow + *name.second)
            cells.notes.push_back("map " + std::to_string(r + 1) + ": name changed to \"" +
                                  shortened(*name.second, marks) + "\"");
    }
    const auto line = [&](const std::vector<std::string>& row) {
        std::string text;
        for (std::size_t c : layout.shown) {
            if (c > 0) text += "  ";
            const bool numeric = c == 0 || tableColumns()[c - 1].numeric;
            text += numeric ? padLeft(row[c], layout.widths[c]) : padRight(row[c], layout.widths[c]);
        }
        while (!text.empty() && text.back() == ' ') text.pop_back();
        out << text << "\n";
    };
    line(layout.titles);
    out << repeated(marks.rule, layout.total()) << "\n";
    for (const auto& row : cells.rows) line(row);
    if (!layout.leftOut.empty()) printLeftOut(out, layout.leftOut, width);
}

}  // namespace

std::string mapsTable(const std::vector<VolumeMap>& before, const std::vector<VolumeMap>& after, const Marks& marks,
                      std::size_t width) {
    if (before.empty() && after.empty()) return "No maps on the current VMR.\n";
    MapCells cells = mapCells(before, after, marks);
    TableLayout layout(cells, width, marks);
    std::ostringstream out;
    if (layout.fits())
        printTable(out, cells, layout, width, marks);
    else
        printBlocks(out, cells, layout.titles, width, marks);
    for (const std::string& note : cells.notes) out << fitLines("! " + note, width, "  ") << "\n";
    return out.str();
}

}  // namespace nimbrel
