#include "tests/support/nimbrel_exe.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#if !defined(_WIN32)
#include <sys/wait.h>
#endif

namespace kelvane::testing {
namespace {

namespace fs = std::filesystem;

std::string readPlainText(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    std::string result = text.str();
    for (std::size_t at; (at = result.find("\r\n")) != std::string::npos;) result.erase(at, 1);
    return result;
}

}  // namespace

std::string inQuotes(const fs::path& path) {
    return "\"" + path.string() + "\"";
}

ExeOutcome runExe(const std::string& exe, const std::string& arguments, const fs::path& folder,
                  const std::string& stdoutTo) {
    const fs::path out = folder / "stdout.txt", err = folder / "stderr.txt";
    std::string command = inQuotes(exe) + " " + arguments + " > " +
                          inQuotes(stdoutTo.empty() ? out.string() : stdoutTo) + " 2> " + inQuotes(err);
#if defined(_WIN32)
    command = "\"" + command + "\"";
#endif
    const int raw = std::system(command.c_str());
    ExeOutcome result;
#if defined(_WIN32)
    result.status = raw;
#else
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
    result.out = readPlainText(out);
    result.err = readPlainText(err);
    return result;
}

}  // namespace kelvane::testing
