#pragma once
// The command line as UTF-8, the stand-in's text inside. Windows hands argv
// over in the ANSI code page, where a folder named "zoë" or "日本" loses its
// letters: there the arguments are read again as UTF-16 from the system, and
// the console shows UTF-8 output while the object lives.

#include <string>
#include <vector>

namespace nimbrel {

class Utf8CommandLine {
public:
    Utf8CommandLine(int argc, char** argv);
    ~Utf8CommandLine();
    Utf8CommandLine(const Utf8CommandLine&) = delete;
    Utf8CommandLine& operator=(const Utf8CommandLine&) = delete;

    int argc() const { return static_cast<int>(arguments_.size()); }
    // argv[argc] is null, as main's is.
    char** argv() { return pointers_.data(); }

private:
    std::vector<std::string> arguments_;
    std::vector<char*> pointers_;
    unsigned previousConsoleCodePage_ = 0;
};

}  // namespace nimbrel
