// kelvane_author_files FOLDER: writes the files for plug-in authors that come
// from the host function list into FOLDER.

#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>

#include "authoring/author_files.h"

namespace {

void write(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.close();
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: kelvane_author_files FOLDER\n";
        return 2;
    }
    try {
        const std::filesystem::path folder = argv[1];
        std::filesystem::create_directories(folder);
        write(folder / kelvane::authoring::kAuthorHeaderFile, kelvane::authoring::authorHeader());
        write(folder / kelvane::authoring::kHostReferenceFile, kelvane::authoring::hostReference());
    } catch (const std::exception& failure) {
        std::cerr << "kelvane_author_files: " << failure.what() << "\n";
        return 1;
    }
    return 0;
}
