// The history file on Windows: LockFileEx, an explicit end-of-file offset, FlushFileBuffers;
// the file itself opened without following a reparse point (a symbolic link or a junction
// planted where the history goes) and checked to be an ordinary file of this process's own
// (history_owner_rule.h). In an elevated
// process the default place is the folder of the process's own account, not one named by
// an environment an unelevated program may have set.
#include <windows.h>
#include <aclapi.h>
#include <fcntl.h>
#include <io.h>
#include <knownfolders.h>
#include <sddl.h>
#include <shlobj.h>

#include <cstdlib>
#include <memory>
#include <system_error>
#include <vector>
#include <thread>

#include "history/history_file.h"
#include "history/history_place.h"
#include "platform/windows/history_owner_rule.h"
#include "platform/windows/storage_query.h"

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

// The local application data folder of the account this process runs as, from its token.
std::filesystem::path OwnLocalAppData() {
    PWSTR folder = nullptr;
    std::filesystem::path path;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DONT_VERIFY, nullptr, &folder))) path = folder;
    CoTaskMemFree(folder);
    return path;
}

std::string SidText(PSID sid) {
    LPWSTR text = nullptr;
    if (sid == nullptr || !ConvertSidToStringSidW(sid, &text)) return {};
    const std::string narrow = Utf8(std::filesystem::path(text));
    LocalFree(text);
    return narrow;
}

// One piece of the process token, as the system lays it out; empty when it cannot be read.
std::vector<std::uint8_t> TokenPiece(TOKEN_INFORMATION_CLASS piece) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
    DWORD size = 0;
    GetTokenInformation(token, piece, nullptr, 0, &size);
    std::vector<std::uint8_t> bytes(size);
    if (size == 0 || !GetTokenInformation(token, piece, bytes.data(), size, &size)) bytes.clear();
    CloseHandle(token);
    return bytes;
}

// "DOMAIN\name" of sid, or empty when the system cannot name it.
std::string AccountName(PSID sid) {
    wchar_t name[256], domain[256];
    DWORD nameSize = 256, domainSize = 256;
    SID_NAME_USE use{};
    if (!LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use)) return {};
    const std::wstring account = domainSize != 0 ? std::wstring(domain) + L"\\" + name : std::wstring(name);
    return Utf8(std::filesystem::path(account));
}

// Empty when the opened file h is this process's own (history_owner_rule.h); else why not.
std::string OwnerProblem(HANDLE h, const std::filesystem::path& file) {
    HistoryOwnerFacts facts;
    DWORD volumeFlags = 0;
    if (GetVolumeInformationByHandleW(h, nullptr, 0, nullptr, nullptr, &volumeFlags, nullptr, 0))
        facts.OwnersKept = (volumeFlags & FILE_PERSISTENT_ACLS) != 0;
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(h, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                        &descriptor) == ERROR_SUCCESS) {
        facts.OwnerSid = SidText(owner);
    }
    const std::vector<std::uint8_t> user = TokenPiece(TokenUser);
    if (!user.empty()) facts.UserSid = SidText(reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid);
    const std::vector<std::uint8_t> defaultOwner = TokenPiece(TokenOwner);
    if (!defaultOwner.empty()) facts.DefaultOwnerSid = SidText(reinterpret_cast<const TOKEN_OWNER*>(defaultOwner.data())->Owner);
    std::string problem;
    if (!HistoryOwnerAccepted(facts)) {
        problem = HistoryOwnerRefusal(Utf8(file), facts, owner != nullptr ? AccountName(owner) : std::string());
    }
    LocalFree(descriptor);
    return problem;
}

// Opens file as a history: the file itself, not what a reparse point in its name leads to;
// folders open too (backup semantics), so that one is told as a folder, not as a denial.
HANDLE OpenHistory(const std::filesystem::path& file, DWORD access, DWORD disposition, std::string& problem) {
    const HANDLE h = CreateFileW(file.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, disposition,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
                                 nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        problem = Failure(file, "cannot open", GetLastError());
        return h;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(h, &information)) {
        problem = Failure(file, "cannot examine", GetLastError());
    } else if (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        problem = Utf8(file) + " is a symbolic link or a junction: a history is never read or written through one";
    } else if (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        problem = Utf8(file) + " is a folder, not a history file";
    } else if (GetFileType(h) != FILE_TYPE_DISK) {
        problem = Utf8(file) + " is not a file on a disk (a device or a pipe), so it is no history";
    } else if (problem = OwnerProblem(h, file); problem.empty()) {
        return h;
    }
    CloseHandle(h);
    return INVALID_HANDLE_VALUE;
}

}  // namespace

std::filesystem::path HistoryPath() {
    HistoryEnvironment environment;
    environment.Override = Variable(L"QUENFALL_HISTORY");
    environment.LocalAppData = Variable(L"LOCALAPPDATA");
    environment.Elevated = ProcessIsElevated();
    if (environment.Elevated) environment.OwnLocalAppData = OwnLocalAppData();
    return WindowsHistoryPath(environment);
}

OpenedHistory OpenHistoryForReading(const std::filesystem::path& file) {
    OpenedHistory opened;
    if (file.empty()) {
        opened.Problem = "no place for the history: neither QUENFALL_HISTORY nor LOCALAPPDATA is set";
        return opened;
    }
    const HANDLE h = OpenHistory(file, GENERIC_READ, OPEN_EXISTING, opened.Problem);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD attributes = GetFileAttributesW(file.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES &&
            (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND)) {
            opened.Missing = true;
            opened.Problem.clear();
        }
        return opened;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(h);
        opened.Problem = "cannot open " + Utf8(file);
        return opened;
    }
    opened.File.reset(_fdopen(fd, "rb"));
    if (!opened.File) {
        _close(fd);
        opened.Problem = "cannot open " + Utf8(file);
    }
    return opened;
}

std::string AppendHistoryLine(const std::filesystem::path& file, std::string_view line) {
    if (file.empty()) return "no place for the history: neither QUENFALL_HISTORY nor LOCALAPPDATA is set";
    std::error_code error;
    if (file.has_parent_path()) {
        std::filesystem::create_directories(file.parent_path(), error);
        if (error) return "cannot create " + Utf8(file.parent_path()) + ": " + error.message();
    }
    std::string problem;
    const Handle h(OpenHistory(file, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS, problem));
    if (h.Get() == INVALID_HANDLE_VALUE) return problem;

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
