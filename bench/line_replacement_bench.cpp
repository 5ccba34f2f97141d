// replaceLinesInFile against a plain read and write of the same bytes, its
// floor, and against GNU sed doing the same replacement in place, on the same
// file, in the same run.

#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "host/host_function_table.h"
#include "standin/host/host_session.h"
#include "standin/host/workspace.h"
#include "util/line_replacement.h"

extern char** environ;

namespace kelvane {
namespace {

namespace fs = std::filesystem;

// Every tenth line holds the key; the replacement holds it too, so after the
// first rewrite the file stays the same and every run does the same work.
const char* const kKey = "THRESHOLD";
const char* const kReplacement = "THRESHOLD 0000000 = 3.50, p = 0.0001 new";

// About 40 bytes a line, line break included.
void writeFile(const fs::path& path, int64_t lineCount) {
    std::ofstream out(path, std::ios::binary);
    char line[64];
    for (int64_t i = 0; i < lineCount; ++i) {
        if (i % 10 == 0)
            std::snprintf(line, sizeof line, "THRESHOLD %07lld = 2.10, p = 0.001 old\n", static_cast<long long>(i));
        else
            std::snprintf(line, sizeof line, "value_%07lld = %8.6f, unit = mm, ok\n", static_cast<long long>(i),
                          static_cast<double>(i % 9973) / 9973.0);
        out << line;
    }
}

class TestFile {
public:
    TestFile(int64_t lineCount, const std::string& tag) {
        path_ = fs::temp_directory_path() /
                ("kelvane-bench-" + std::to_string(::getpid()) + "-" + tag + "-" + std::to_string(lineCount) + ".txt");
        writeFile(path_, lineCount);
        bytes_ = static_cast<int64_t>(fs::file_size(path_));
    }
    ~TestFile() {
        std::error_code ignored;
        fs::remove(path_, ignored);
    }
    const fs::path& path() const { return path_; }
    int64_t bytes() const { return bytes_; }

private:
    fs::path path_;
    int64_t bytes_ = 0;
};

void replaceOnce(const fs::path& path, bool normalise) {
    std::string keys[1] = {kKey};
    std::ostringstream replacements[1];
    replacements[0] << kReplacement;
    replaceLinesInFile(path.c_str(), 1, keys, normalise, !normalise, replacements);
}

double seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + 1e-6 * static_cast<double>(t.tv_usec);
}

// sed -i '/THRESHOLD/c\<replacement>' <file>: the same lines replaced as a whole.
// Adds the child's processor time (user and system) to childCpu.
bool sedOnce(const fs::path& path, double& childCpu) {
    const std::string script = std::string("/") + kKey + "/c\\" + kReplacement;
    std::string sed = "sed", inPlace = "-i", file = path.string();
    char* argv[] = {sed.data(), inPlace.data(), const_cast<char*>(script.c_str()), file.data(), nullptr};
    pid_t child = 0;
    if (posix_spawnp(&child, "sed", nullptr, nullptr, argv, environ) != 0) return false;
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child) return false;
    childCpu += seconds(usage.ru_utime) + seconds(usage.ru_stime);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void finish(benchmark::State& state, const TestFile& file, int64_t lineCount) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * file.bytes());
    state.counters["lines"] = static_cast<double>(lineCount);
    state.counters["replaced"] = static_cast<double>(lineCount / 10);
}

void BM_ReplaceLinesInFile(benchmark::State& state, bool normalise) {
    const int64_t lineCount = state.range(0);
    if (!bindHostFunctions()) {
        state.SkipWithError("no host to log to");
        return;
    }
    nimbrel::Workspace workspace;
    nimbrel::HostSession session(workspace);
    TestFile file(lineCount, "replace");
    replaceOnce(file.path(), normalise);  // the file settles into its steady content
    for (auto _ : state) replaceOnce(file.path(), normalise);
    finish(state, file, lineCount);
}

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void BM_Sed(benchmark::State& state) {
    const int64_t lineCount = state.range(0);
    TestFile file(lineCount, "sed");
    double childCpu = 0.0;
    if (!sedOnce(file.path(), childCpu)) {
        state.SkipWithError("sed -i failed");
        return;
    }
    {
        // Both must leave the same bytes, or the race is not a fair one.
        if (!bindHostFunctions()) {
            state.SkipWithError("no host to log to");
            return;
        }
        nimbrel::Workspace workspace;
        nimbrel::HostSession session(workspace);
        TestFile ours(lineCount, "check");
        replaceOnce(ours.path(), false);
        if (contents(ours.path()) != contents(file.path())) {
            state.SkipWithError("sed and replaceLinesInFile wrote different files");
            return;
        }
    }
    childCpu = 0.0;
    bool ok = true;
    for (auto _ : state) ok = sedOnce(file.path(), childCpu) && ok;
    if (!ok) state.SkipWithError("sed -i failed");
    finish(state, file, lineCount);
    // The processor time sed itself used per run; the CPU column is only this
    // program's share (starting sed and waiting for it).
    state.counters["child_cpu_time"] = benchmark::Counter(childCpu, benchmark::Counter::kAvgIterations);
}

// The floor: the whole file read with one read and written back in place with
// one write, through the same text-mode streams, nothing looked at.
void BM_PlainReadWrite(benchmark::State& state) {
    const int64_t lineCount = state.range(0);
    TestFile file(lineCount, "plain");
    const std::string before = contents(file.path());
    for (auto _ : state) {
        std::string content;
        {
            std::ifstream in(file.path());
            content.resize(static_cast<std::size_t>(fs::file_size(file.path())));
            in.read(&content[0], static_cast<std::streamsize>(content.size()));
            content.resize(static_cast<std::size_t>(in.gcount()));
        }
        std::ofstream out(file.path());
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
    }
    if (contents(file.path()) != before) state.SkipWithError("the plain copy changed the file");
    finish(state, file, lineCount);
}

BENCHMARK_CAPTURE(BM_ReplaceLinesInFile, plain, false)
    ->Name("replace/replaceLinesInFile")
    ->Arg(10'000)
    ->Arg(1'000'000)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReplaceLinesInFile, normalised, true)
    ->Name("replace/replaceLinesInFile-blanks-case")
    ->Arg(10'000)
    ->Arg(1'000'000)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainReadWrite)
    ->Name("replace/baseline/plain-read-write")
    ->Arg(10'000)
    ->Arg(1'000'000)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sed)->Name("replace/sed-i")->Arg(10'000)->Arg(1'000'000)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kelvane
