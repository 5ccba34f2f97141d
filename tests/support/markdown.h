#pragma once
// The tables and code blocks of a Markdown document, by the heading they
// stand under, for tests that hold a document to the code it describes.

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace kelvane::testing {

struct MarkdownSection {
    // Each table row's cells, without the header and separator rows, blanks
    // and backticks around a cell taken off.
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> codeBlocks;  // each block's lines, joined with "\n"
};

// The sections by the text of their heading, without "#" and backticks:
// "NRVMPRecord", "The dialog script". Tables may be indented (in a list).
inline std::map<std::string, MarkdownSection> markdownSections(const std::filesystem::path& path) {
    const auto trimmed = [](std::string text) {
        const std::size_t begin = text.find_first_not_of(" `");
        const std::size_t end = text.find_last_not_of(" `");
        return begin == std::string::npos ? std::string() : text.substr(begin, end - begin + 1);
    };
    std::map<std::string, MarkdownSection> sections;
    std::ifstream in(path);
    std::string line, heading, block;
    bool inBlock = false, tableHeader = true;
    while (std::getline(in, line)) {
        const std::string text = trimmed(line);
        if (line.rfind("```", 0) == 0) {
            if (inBlock) sections[heading].codeBlocks.push_back(block);
            inBlock = !inBlock;
            block.clear();
        } else if (inBlock) {
            block += (block.empty() ? "" : "\n") + line;
        } else if (line.rfind('#', 0) == 0) {
            heading = trimmed(line.substr(line.find(' ')));
        } else if (text.rfind('|', 0) == 0) {
            if (tableHeader || text.rfind("|---", 0) == 0) {
                tableHeader = false;
                continue;
            }
            std::vector<std::string> cells;
            for (std::size_t begin = 1, end; (end = text.find(" |", begin)) != std::string::npos; begin = end + 2)
                cells.push_back(trimmed(text.substr(begin, end - begin)));
            sections[heading].rows.push_back(cells);
        } else {
            tableHeader = true;
        }
    }
    return sections;
}

}  // namespace kelvane::testing
