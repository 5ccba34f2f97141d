#include "tests/support/nimbrel_exe.h"

#include <fstream>
#include <sstream>

#include "tests/support/read_file.h"
#include "tests/support/run_program.h"

namespace kelvane::testing {
namespace {

namespace fs = std::filesystem;

std::string readPlainText(const fs::path& path) {
    std::string result = readFile(path);
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
    ExeOutcome result;
    result.status = runProgram(
        exe, arguments + " > " + inQuotes(stdoutTo.empty() ? out.string() : stdoutTo) + " 2> " + inQuotes(err));
    result.out = readPlainText(out);
    result.err = readPlainText(err);
    return result;
}

}  // namespace kelvane::testing
