// The history file on Windows: LockFileEx, an explicit end-of-file offset, FlushFileBuffers.
#include <windows.h>

#include <cstdlib>
#include <system_error>
#include <thread>

#include "history/history_file.h"
#include "history/history_place.h"

namespace quenfall {

namespace {

std::filesystem::path Variable(const wchar_t* name) {
    const wchar_t* value = _wgetenv(name);
    return value && *value ? std::filesystem::path(value) : std::filesystem::path();
}

std::string Utf8(const std::filesystem::path& path) {
    const std::u8string name = path.u8string();
    return std::string(name.begin(), name.end());
}

std::string Failure(const std::filesystem::path& file, const char* what, DWORD error) {
    return std::string(what) + " " + Utf8(file) + ": " + std::system_category().message(static_cast<int>(error));
}

class Handle {
public:
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle() {
        if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);  // releases the lock
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE Get() const { return h_; }

private:
    HANDLE h_;
};

// The lock is on one byte far past any record, so that readers, who take no lock, are
// never refused the records themselves.
OVERLAPPED LockPlace() {
    OVERLAPPED place{};
    place.Offset = 0xFFFFFFFFu;
    place.OffsetHigh = 0x7FFFFFFFu;
    return place;
}

}  // namespace

std::filesystem::path HistoryPath() {
    HistoryEnvironment environment;
    environment.Override = Variable(L"QUENFALL_HISTORY");
    environment.LocalAppData = Variable(L"LOCALAPPDATA");
    return WindowsHistoryPath(environment);
}

std::string AppendHistoryLine(const std::filesystem::path& file, std::string_view line) {
    if (file.empty()) return "no place for the history: neither QUENFALL_HISTORY nor LOCALAPPDATA is set";
    std::error_code error;
    if (file.has_parent_path()) {
        std::filesystem::create_directories(file.parent_path(), error);
        if (error) return "cannot create " + Utf8(file.parent_path()) + ": " + error.message();
    }
    const Handle h(CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (h.Get() == INVALID_HANDLE_VALUE) return Failure(file, "cannot open", GetLastError());

    OVERLAPPED lock = LockPlace();
    const auto giveUp = std::chrono::steady_clock::now() + HistoryLockPatience;
    while (!LockFileEx(h.Get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &lock)) {
        const DWORD failure = GetLastError();
        if (failure != ERROR_LOCK_VIOLATION && failure != ERROR_IO_PENDING) return Failure(file, "cannot lock", failure);
        if (std::chrono::steady_clock::now() >= giveUp) return Failure(file, "another program held the lock on", failure);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        lock = LockPlace();
    }

    // Under the lock the end of the file is where this record goes.
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(h.Get(), &size)) return Failure(file, "cannot examine", GetLastError());
    std::string record;
    record.reserve(line.size() + 2);
    if (size.QuadPart > 0) {
        char last = '\n';
        DWORD read = 0;
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>((size.QuadPart - 1) & 0xFFFFFFFF);
        at.OffsetHigh = static_cast<DWORD>((size.QuadPart - 1) >> 32);
        if (!ReadFile(h.Get(), &last, 1, &read, &at) || read != 1) return Failure(file, "cannot read", GetLastError());
        if (last != '\n') record += '\n';
    }
    record += line;
    record += '\n';
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(size.QuadPart & 0xFFFFFFFF);
    at.OffsetHigh = static_cast<DWORD>(size.QuadPart >> 32);
    DWORD written = 0;
    if (!WriteFile(h.Get(), record.data(), static_cast<DWORD>(record.size()), &written, &at) ||
        written != record.size()) {
        return Failure(file, "cannot write", GetLastError());
    }
    // The lock orders the writes; the flush needs no lock, and holding one through it would
    // keep every other program waiting on the disk.
    OVERLAPPED unlock = LockPlace();
    UnlockFileEx(h.Get(), 0, 1, 0, &unlock);
    if (!FlushFileBuffers(h.Get())) return Failure(file, "cannot flush", GetLastError());
    return {};
}

}  // namespace quenfall
