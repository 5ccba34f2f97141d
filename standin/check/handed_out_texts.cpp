#include "standin/check/handed_out_texts.h"

#include <atomic>
#include <cstddef>
#include <cstring>

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <signal.h>
#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>
#endif

namespace nimbrel::check {
namespace {

// The texts' pages, where a fault handler may look them up: a ring of
// regions, the oldest reused first (a text read that many texts after it
// ended is not seen).
enum TextState { kFree, kLive, kEnded };
struct TextPages {
    std::atomic<char*> begin{nullptr};
    std::atomic<std::size_t> bytes{0};
    std::atomic<int> state{kFree};
};
constexpr int kRegions = 64;
TextPages regions[kRegions];
int nextRegion = 0;
bool anyLive = false;
std::atomic<char*> opaquePage{nullptr};
int faultDescriptor = -1;
// The line for a fault while this thread touches a buffer the plug-in gave.
thread_local const char* touchingLine = nullptr;

const char kWroteLive[] = "fault it wrote into a text the host handed out to be read only\n";
const char kReadEnded[] = "fault it read a text the host handed out after it ended\n";
const char kWroteEnded[] = "fault it wrote into a text the host handed out after it ended\n";
const char kReadOpaque[] = "fault it read through a pointer the host hands out only to be tested against null\n";

std::size_t pageSize() {
#if defined(_WIN32)
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    return info.dwPageSize;
#else
    return static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
#endif
}

enum Access { kNone, kReadWrite, kReadOnly };

// Pages of bytes that nothing may touch yet, or null.
char* newPages(std::size_t bytes) {
#if defined(_WIN32)
    return static_cast<char*>(VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_NOACCESS));
#else
    void* pages = mmap(nullptr, bytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return pages == MAP_FAILED ? nullptr : static_cast<char*>(pages);
#endif
}

void freePages(char* pages, std::size_t bytes) {
#if defined(_WIN32)
    (void)bytes;
    VirtualFree(pages, 0, MEM_RELEASE);
#else
    munmap(pages, bytes);
#endif
}

void protect(char* pages, std::size_t bytes, Access access) {
#if defined(_WIN32)
    const DWORD kinds[] = {PAGE_NOACCESS, PAGE_READWRITE, PAGE_READONLY};
    DWORD previous = 0;
    VirtualProtect(pages, bytes, kinds[access], &previous);
#else
    const int kinds[] = {PROT_NONE, PROT_READ | PROT_WRITE, PROT_READ};
    mprotect(pages, bytes, kinds[access]);
#endif
}

// The line for a fault at address, or null when it is none of these.
const char* faultLine(const void* address, bool write) {
    const auto* byte = static_cast<const char*>(address);
    for (const TextPages& region : regions) {
        const char* begin = region.begin.load();
        if (begin == nullptr || byte < begin || byte >= begin + region.bytes.load()) continue;
        if (region.state.load() == kLive) return write ? kWroteLive : nullptr;
        if (region.state.load() == kEnded) return write ? kWroteEnded : kReadEnded;
    }
    const char* opaque = opaquePage.load();
    if (opaque != nullptr && byte >= opaque && byte < opaque + pageSize()) return kReadOpaque;
    return touchingLine;
}

void writeFaultLine(const char* line) {
    if (line == nullptr) return;
#if defined(_WIN32)
    _write(faultDescriptor, line, static_cast<unsigned>(std::strlen(line)));
#else
    [[maybe_unused]] const ssize_t written = write(faultDescriptor, line, std::strlen(line));
#endif
}

#if defined(_WIN32)
LONG WINAPI noteFault(EXCEPTION_POINTERS* exception) {
    const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
    if (record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record.NumberParameters >= 2)
        writeFaultLine(faultLine(reinterpret_cast<const void*>(record.ExceptionInformation[1]),
                                 record.ExceptionInformation[0] == 1));
    return EXCEPTION_CONTINUE_SEARCH;
}
#else
// Notes the fault, then lets it happen again with the default action.
void noteFault(int, siginfo_t* info, void* context) {
    bool write = false;
#if defined(__x86_64__) && defined(REG_ERR)
    // The page-fault error code: bit 1 is set for a write.
    write = (static_cast<ucontext_t*>(context)->uc_mcontext.gregs[REG_ERR] & 2) != 0;
#else
    (void)context;
#endif
    writeFaultLine(faultLine(info->si_addr, write));
}
#endif

}  // namespace

const char* handOutText(const char* text) {
    if (text == nullptr) return nullptr;
    const std::size_t length = std::strlen(text);
    const std::size_t page = pageSize();
    const std::size_t bytes = (length + 1 + page - 1) / page * page;
    TextPages& region = regions[nextRegion];
    nextRegion = (nextRegion + 1) % kRegions;
    char* pages = region.begin.load();
    if (pages == nullptr || region.bytes.load() < bytes) {
        region.state.store(kFree);
        if (pages != nullptr) freePages(pages, region.bytes.load());
        region.begin.store(nullptr);
        pages = newPages(bytes);
        if (pages == nullptr) return nullptr;
        region.bytes.store(bytes);
        region.begin.store(pages);
    }
    // At the end of the pages, so that a read past the text's end faults too.
    const std::size_t regionBytes = region.bytes.load();
    protect(pages, regionBytes, kReadWrite);
    char* copy = pages + regionBytes - length - 1;
    std::memcpy(copy, text, length + 1);
    protect(pages, regionBytes, kReadOnly);
    region.state.store(kLive);
    anyLive = true;
    return copy;
}

void endHandedOutTexts() {
    if (!anyLive) return;
    anyLive = false;
    for (TextPages& region : regions)
        if (region.state.load() == kLive) {
            protect(region.begin.load(), region.bytes.load(), kNone);
            region.state.store(kEnded);
        }
}

const void* opaqueHostPointer() {
    if (opaquePage.load() == nullptr) opaquePage.store(newPages(pageSize()));
    // Not the page's first byte: a pointer a caller reads at an offset faults all the same.
    char* page = opaquePage.load();
    return page != nullptr ? page + 64 : nullptr;
}

TouchingBuffer::TouchingBuffer(const char* line) {
    touchingLine = line;
}

TouchingBuffer::~TouchingBuffer() {
    touchingLine = nullptr;
}

void noteFaultsInHandedOutMemory(int descriptor) {
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
