// PendingFile on Windows: a temporary beside the file, marked for deletion
// while it is written, so that the system removes it when its handle closes
// however the process ends; the mark is taken off and the file renamed over
// the target through the same handle at the end.

#include <windows.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "standin/base/native_path.h"
#include "standin/files/output_file.h"
#include "standin/files/output_file_system.h"

namespace nimbrel {

namespace fs = std::filesystem;

struct PendingFile::State {
    enum class Kind { InPlace, Temporary };
    Kind kind = Kind::Temporary;
    fs::path target;
    fs::path temporary;
    HANDLE handle = INVALID_HANDLE_VALUE;
    bool deletePending = false;  // the system removes the temporary when the handle closes
    std::atomic<int> filled{0};  // the run is in process on Windows
    bool committed = false;
};

namespace {

// Whether path names one of Windows' devices (NUL, CON, COM1, ...), which
// stand in every folder, with any extension.
bool isDeviceName(const fs::path& path) {
    std::string stem = utf8Path(path.stem());
    for (char& c : stem) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const char* device : {"NUL", "CON", "PRN", "AUX"})
        if (stem == device) return true;
    return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) && stem[3] >= '1' &&
           stem[3] <= '9';
}

// The errno value folderProblem knows for a system error.
int errnoOf(DWORD error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
            return EACCES;
        case ERROR_PATH_NOT_FOUND:
        case ERROR_FILE_NOT_FOUND:
            return ENOENT;
        case ERROR_WRITE_PROTECT:
            return EROFS;
        case ERROR_DIRECTORY:
            return ENOTDIR;
        case ERROR_FILENAME_EXCED_RANGE:
            return ENAMETOOLONG;
        default:
            return EIO;
    }
}

std::string windowsReason(DWORD error) {
    if (error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL) return systemReason(ENOSPC);
    if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION)
        return "the file is in use or may not be replaced";
    return "the system's error " + std::to_string(error);
}

bool markForDeletion(HANDLE handle, bool deleted) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = deleted ? TRUE : FALSE;
    return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

// Renames the open file over target through its handle.
bool renameOver(HANDLE handle, const fs::path& target) {
    std::error_code ignored;
    const std::wstring whole = fs::absolute(target, ignored).wstring();
    std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + (whole.size() + 1) * sizeof(wchar_t), 0);
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(whole.size() * sizeof(wchar_t));
    std::memcpy(rename->FileName, whole.c_str(), whole.size() * sizeof(wchar_t));
    return SetFileInformationByHandle(handle, FileRenameInfo, rename, static_cast<DWORD>(buffer.size())) != 0;
}

// The text written over what the device at path takes.
std::optional<std::string> writeInPlace(const fs::path& path, const std::string& text) {
    errno = 0;
    std::FILE* file = openFile(utf8Path(path), "wb");
    if (file == nullptr) return systemReason(errno);
    errno = 0;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size() && std::fflush(file) == 0;
    const int writeError = errno;
    errno = 0;
    const bool closed = std::fclose(file) == 0;
    if (!written) return systemReason(writeError);
    if (!closed) return systemReason(errno);
    return std::nullopt;
}

}  // namespace

PendingFile::PendingFile(std::string path) : path_(std::move(path)), state_(std::make_unique<State>()) {}

PendingFile::~PendingFile() {
    State& s = *state_;
    if (s.handle != INVALID_HANDLE_VALUE) CloseHandle(s.handle);
    if (s.kind == State::Kind::Temporary && !s.committed && !s.deletePending && !s.temporary.empty())
        DeleteFileW(s.temporary.c_str());
}

std::unique_ptr<PendingFile> PendingFile::prepare(const std::string& path, std::string& reason) {
    std::unique_ptr<PendingFile> file(new PendingFile(path));
    State& s = *file->state_;
    std::error_code error;
    s.target = outputTarget(path, error);
    if (error) {
        reason = error.message();
        return nullptr;
    }
    if (isDeviceName(s.target)) {
        s.kind = State::Kind::InPlace;
        return file;
    }
    const DWORD attributes = GetFileAttributesW(s.target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        reason = "it is a folder";
        return nullptr;
    }
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        reason = "the file is read-only";
        return nullptr;
    }
    bool shortName = false;
    DWORD failure = ERROR_FILE_EXISTS;
    for (int attempt = 0; attempt < 100 && failure != ERROR_SUCCESS; ++attempt) {
        s.temporary = temporaryBeside(s.target, shortName);
        s.handle = CreateFileW(s.temporary.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        failure = s.handle != INVALID_HANDLE_VALUE ? ERROR_SUCCESS : GetLastError();
        // A name too long for the folder may show as a path not found.
        if (!shortName && (failure == ERROR_FILENAME_EXCED_RANGE || failure == ERROR_PATH_NOT_FOUND)) {
            shortName = true;
        } else if (failure != ERROR_SUCCESS && failure != ERROR_FILE_EXISTS && failure != ERROR_ALREADY_EXISTS) {
            break;
        }
    }
    if (failure != ERROR_SUCCESS) {
        s.temporary.clear();
        reason = folderProblem(errnoOf(failure), folderOf(s.target));
        return nullptr;
    }
    s.deletePending = markForDeletion(s.handle, true);
    return file;
}

std::optional<std::string> PendingFile::fill(const std::string& text) {
    State& s = *state_;
    if (s.kind == State::Kind::InPlace) {
        if (auto reason = writeInPlace(s.target, text)) return reason;
    } else {
        const char* data = text.data();
        for (std::size_t left = text.size(); left > 0;) {
            const DWORD chunk = static_cast<DWORD>(left < (1u << 30) ? left : (1u << 30));
            DWORD written = 0;
            if (!WriteFile(s.handle, data, chunk, &written, nullptr) || written == 0)
                return windowsReason(GetLastError());
            data += written;
            left -= written;
        }
        if (!FlushFileBuffers(s.handle)) return windowsReason(GetLastError());
    }
    s.filled.store(1);
    return std::nullopt;
}

bool PendingFile::filled() const {
    return state_->filled.load() != 0;
}

std::optional<std::string> PendingFile::commit() {
    State& s = *state_;
    if (!filled()) return std::string("the text was not written");
    if (s.kind == State::Kind::InPlace) return std::nullopt;
    if (s.deletePending) {
        if (!markForDeletion(s.handle, false)) return windowsReason(GetLastError());
        s.deletePending = false;
    }
    if (renameOver(s.handle, s.target)) {
        s.committed = true;
        return std::nullopt;
    }
    // Where the handle cannot rename it, the file is renamed by name.
    CloseHandle(s.handle);
    s.handle = INVALID_HANDLE_VALUE;
    if (!MoveFileExW(s.temporary.c_str(), s.target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return windowsReason(GetLastError());
    s.committed = true;
    return std::nullopt;
}

}  // namespace nimbrel
