#include "standin/check/read_only_texts.h"

#include <atomic>
#include <cstring>
#include <map>

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace nimbrel::check {
namespace {

// The pages of the texts, where a fault handler may look them up.
struct PageRange {
    const char* begin;
    const char* end;
};
constexpr int kMostRanges = 256;
PageRange ranges[kMostRanges];
std::atomic<int> rangeCount{0};
int faultDescriptor = -1;
const char kFaultLine[] = "fault it wrote into a text the host handed out to be read only\n";

bool inText(const void* address) {
    const auto* byte = static_cast<const char*>(address);
    for (int i = 0; i < rangeCount.load(); ++i)
        if (byte >= ranges[i].begin && byte < ranges[i].end) return true;
    return false;
}

void writeFaultLine() {
#if defined(_WIN32)
    _write(faultDescriptor, kFaultLine, sizeof kFaultLine - 1);
#else
    [[maybe_unused]] const ssize_t written = write(faultDescriptor, kFaultLine, sizeof kFaultLine - 1);
#endif
}

#if defined(_WIN32)
LONG WINAPI noteFault(EXCEPTION_POINTERS* exception) {
    const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
    if (record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record.NumberParameters >= 2 &&
        record.ExceptionInformation[0] == 1 && inText(reinterpret_cast<const void*>(record.ExceptionInformation[1])))
        writeFaultLine();
    return EXCEPTION_CONTINUE_SEARCH;
}
#else
// Notes the fault, then lets it happen again with the default action.
void noteFault(int, siginfo_t* info, void*) {
    if (inText(info->si_addr)) writeFaultLine();
}
#endif

// Pages of bytes, readable and writable, or null.
void* newPages(std::size_t bytes) {
#if defined(_WIN32)
    return VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
#else
    void* pages = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return pages == MAP_FAILED ? nullptr : pages;
#endif
}

void makeReadOnly(void* pages, std::size_t bytes) {
#if defined(_WIN32)
    DWORD previous = 0;
    VirtualProtect(pages, bytes, PAGE_READONLY, &previous);
#else
    mprotect(pages, bytes, PROT_READ);
#endif
}

std::size_t pageSize() {
#if defined(_WIN32)
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    return info.dwPageSize;
#else
    return static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
#endif
}

}  // namespace

const char* readOnlyText(const std::string& text) {
    static std::map<std::string, const char*> texts;
    auto found = texts.find(text);
    if (found != texts.end()) return found->second;
    const std::size_t page = pageSize();
    const std::size_t bytes = (text.size() + 1 + page - 1) / page * page;
    auto* pages = static_cast<char*>(newPages(bytes));
    if (pages == nullptr) return nullptr;
    char* copy = pages + bytes - text.size() - 1;
    std::memcpy(copy, text.c_str(), text.size() + 1);
    makeReadOnly(pages, bytes);
    const int count = rangeCount.load();
    if (count < kMostRanges) {
        ranges[count] = {pages, pages + bytes};
        rangeCount.store(count + 1);
    }
    return texts[text] = copy;
}

void noteWritesIntoTexts(int descriptor) {
    faultDescriptor = descriptor;
#if defined(_WIN32)
    AddVectoredExceptionHandler(1, noteFault);
#else
    struct sigaction action {};
    action.sa_sigaction = noteFault;
    action.sa_flags = SA_SIGINFO | SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(SIGSEGV, &action, nullptr);
#endif
}

}  // namespace nimbrel::check
