#include "standin/check/read_only_texts.h"

#include <cstring>
#include <map>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace nimbrel::check {
namespace {

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
    return texts[text] = copy;
}

}  // namespace nimbrel::check
