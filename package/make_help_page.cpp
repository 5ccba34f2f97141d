// Writes the help page from its template: each line that holds only
//   <!-- generated: NAME -->
// becomes the figure of that name, worked out by the plug-in's own code.
//   kelvane_help_page <template> <page>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "package/threshold_figures.h"

namespace {

const char* const kMarkerStart = "<!-- generated: ";
const char* const kMarkerEnd = " -->";

std::string markerName(const std::string& line) {
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos ||
        line.compare(first, std::char_traits<char>::length(kMarkerStart), kMarkerStart) != 0)
        return "";
    const std::size_t name = first + std::char_traits<char>::length(kMarkerStart);
    const std::size_t end = line.find(kMarkerEnd, name);
    return end == std::string::npos ? "" : line.substr(name, end - name);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: kelvane_help_page <template> <page>\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "kelvane_help_page: cannot read %s\n", argv[1]);
        return 1;
    }
    std::map<std::string, std::string (*)()> figures = {{"t-table", kelvane::help::thresholdTable},
                                                        {"exact-reach", kelvane::help::exactReach},
                                                        {"worst-cases", kelvane::help::worstCases},
                                                        {"p-plot", kelvane::help::searchPPlot},
                                                        {"p-plot-legend", kelvane::help::searchPPlotLegend}};
    std::ostringstream page;
    for (std::string line; std::getline(in, line);) {
        const std::string name = markerName(line);
        if (name.empty()) {
            page << line << '\n';
            continue;
        }
        const auto figure = figures.find(name);
        if (figure == figures.end()) {
            std::fprintf(stderr, "kelvane_help_page: %s: no figure named %s, or it is used twice\n", argv[1],
                         name.c_str());
            return 1;
        }
        page << figure->second();
        figures.erase(figure);
    }
    for (const auto& unused : figures) {
        std::fprintf(stderr, "kelvane_help_page: %s has no place for the figure %s\n", argv[1], unused.first.c_str());
        return 1;
    }
    std::ofstream out(argv[2], std::ios::binary);
    out << page.str();
    if (!out.flush()) {
        std::fprintf(stderr, "kelvane_help_page: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
