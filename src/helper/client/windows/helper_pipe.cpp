#include "helper/client/windows/helper_pipe.h"

#include <ntsecapi.h>
#include <sddl.h>

#include <array>
#include <cstdint>
#include <vector>

namespace quenfall::helper {

namespace {

constexpr DWORD PipeBufferSize = 16 * 1024;

std::string ErrorText(const char* what, DWORD error) { return std::string(what) + " (error " + std::to_string(error) + ")"; }

class Event {
public:
    Event() : handle_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Event() {
        if (handle_ != nullptr) CloseHandle(handle_);
    }
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_;
};

// Waits for one overlapped operation on pipe; with a process, also gives up when it ends.
// False on failure, time-out or the process's end; the operation is cancelled then.
bool Complete(HANDLE pipe, OVERLAPPED& overlapped, bool started, std::chrono::milliseconds deadline,
              HANDLE process, DWORD* transferred) {
    DWORD done = 0;
    if (!started) {
        if (GetLastError() != ERROR_IO_PENDING) return false;
        const HANDLE waits[] = {overlapped.hEvent, process};
        const DWORD result = WaitForMultipleObjects(process != nullptr ? 2 : 1, waits, FALSE,
                                                    static_cast<DWORD>(deadline.count()));
        if (result != WAIT_OBJECT_0) {
            CancelIoEx(pipe, &overlapped);
            GetOverlappedResult(pipe, &overlapped, &done, TRUE);
            return false;
        }
    }
    if (!GetOverlappedResult(pipe, &overlapped, &done, FALSE)) return false;
    if (transferred != nullptr) *transferred = done;
    return true;
}

bool Transfer(HANDLE pipe, bool write, std::uint8_t* bytes, std::size_t n, std::chrono::milliseconds deadline,
              HANDLE process) {
    Event event;
    while (n > 0) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = event.Get();
        ResetEvent(event.Get());
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(n, PipeBufferSize));
        const BOOL started = write ? WriteFile(pipe, bytes, chunk, nullptr, &overlapped)
                                   : ReadFile(pipe, bytes, chunk, nullptr, &overlapped);
        DWORD done = 0;
        if (!Complete(pipe, overlapped, started != FALSE, deadline, process, &done) || done == 0) return false;
        bytes += done;
        n -= done;
    }
    return true;
}

std::optional<std::vector<std::uint8_t>> ReadMessage(HANDLE pipe, std::chrono::milliseconds deadline, HANDLE process) {
    std::array<std::uint8_t, LengthPrefixSize> prefix{};
    if (!Transfer(pipe, false, prefix.data(), prefix.size(), deadline, process)) return std::nullopt;
    const auto length = AnnouncedLength(prefix);
    if (!length) return std::nullopt;
    std::vector<std::uint8_t> body(*length);
    if (!Transfer(pipe, false, body.data(), body.size(), deadline, process)) return std::nullopt;
    return body;
}

std::vector<std::uint8_t> Framed(const std::vector<std::uint8_t>& body) {
    std::vector<std::uint8_t> message;
    const auto prefix = LengthPrefix(body.size());
    message.insert(message.end(), prefix.begin(), prefix.end());
    message.insert(message.end(), body.begin(), body.end());
    return message;
}

class PipeConnection final : public HelperConnection {
public:
    PipeConnection(HANDLE pipe, HANDLE process, std::chrono::milliseconds deadline)
        : pipe_(pipe), process_(process), deadline_(deadline) {}
    ~PipeConnection() override {
        // Closing our end ends the helper's service of it; the first pipe's, the helper.
        if (pipe_ != INVALID_HANDLE_VALUE) CloseHandle(pipe_);
        if (process_ != nullptr) CloseHandle(process_);
    }
    PipeConnection(const PipeConnection&) = delete;
    PipeConnection& operator=(const PipeConnection&) = delete;

    std::optional<Reply> Exchange(const Request& request) override {
        if (pipe_ == INVALID_HANDLE_VALUE) return std::nullopt;
        std::vector<std::uint8_t> message = Framed(EncodeRequest(request));
        std::optional<Reply> reply;
        if (Transfer(pipe_, true, message.data(), message.size(), deadline_, process_)) {
            if (const auto body = ReadMessage(pipe_, deadline_, process_)) reply = DecodeReply(*body);
        }
        if (!reply) {
            CloseHandle(pipe_);
            pipe_ = INVALID_HANDLE_VALUE;
        }
        return reply;
    }

private:
    HANDLE pipe_;
    HANDLE process_;
    std::chrono::milliseconds deadline_;
};

// "D:P(A;;GA;;;<this user>)(A;;GA;;;BA)": protected, so nothing is inherited.
std::wstring PipeSecurity(std::string& problem) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        problem = ErrorText("this program's user could not be read", GetLastError());
        return {};
    }
    std::vector<std::uint64_t> storage(64);
    DWORD size = 0;
    const BOOL read = GetTokenInformation(token, TokenUser, storage.data(),
                                          static_cast<DWORD>(storage.size() * sizeof(std::uint64_t)), &size);
    CloseHandle(token);
    wchar_t* sid = nullptr;
    if (!read || !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(storage.data())->User.Sid, &sid)) {
        problem = ErrorText("this program's user could not be read", GetLastError());
        return {};
    }
    std::wstring sddl = std::wstring(L"D:P(A;;GA;;;") + sid + L")(A;;GA;;;BA)";
    LocalFree(sid);
    return sddl;
}

}  // namespace

std::wstring RandomHelperPipeName() {
    std::array<std::uint8_t, 16> random{};
    if (!RtlGenRandom(random.data(), static_cast<ULONG>(random.size()))) return {};
    std::wstring name(HelperPipePrefix);
    constexpr wchar_t Hex[] = L"0123456789abcdef";
    for (std::uint8_t b : random) {
        name += Hex[b >> 4];
        name += Hex[b & 15];
    }
    return name;
}

bool IsHelperPipeName(std::wstring_view name) {
    if (name.size() != HelperPipePrefix.size() + 32 || name.substr(0, HelperPipePrefix.size()) != HelperPipePrefix) {
        return false;
    }
    for (wchar_t c : name.substr(HelperPipePrefix.size())) {
        if (!((c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f'))) return false;
    }
    return true;
}

std::unique_ptr<HelperPipeServer> HelperPipeServer::Create(const std::wstring& name, std::string& problem) {
    if (!IsHelperPipeName(name)) {
        problem = "no name could be drawn for the radio helper's pipe";
        return nullptr;
    }
    const std::wstring sddl = PipeSecurity(problem);
    if (sddl.empty()) return nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
        problem = ErrorText("the radio helper's pipe could not be secured", GetLastError());
        return nullptr;
    }
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    HANDLE pipe = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_FIRST_PIPE_INSTANCE | FILE_FLAG_OVERLAPPED,
                                   PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1,
                                   PipeBufferSize, PipeBufferSize, 0, &attributes);
    const DWORD error = GetLastError();
    LocalFree(descriptor);
    if (pipe == INVALID_HANDLE_VALUE) {
        problem = ErrorText("the radio helper's pipe could not be made", error);
        return nullptr;
    }
    return std::unique_ptr<HelperPipeServer>(new HelperPipeServer(name, pipe));
}

HelperPipeServer::~HelperPipeServer() {
    if (pipe_ != INVALID_HANDLE_VALUE) CloseHandle(pipe_);
}

HelperStart HelperPipeServer::Accept(HANDLE process, PipeDeadlines deadlines) {
    HelperStart start;
    HANDLE pipe = pipe_;
    pipe_ = INVALID_HANDLE_VALUE;
    auto fail = [&](std::string problem) {
        CloseHandle(pipe);
        CloseHandle(process);
        start.Problem = std::move(problem);
        return std::move(start);
    };
    Event event;
    OVERLAPPED overlapped{};
    overlapped.hEvent = event.Get();
    const BOOL connected = ConnectNamedPipe(pipe, &overlapped);
    if (!connected && GetLastError() != ERROR_PIPE_CONNECTED &&
        !Complete(pipe, overlapped, false, deadlines.Start, process, nullptr)) {
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(process, &code);
        return fail(code == STILL_ACTIVE ? "it did not connect in time"
                                         : "it ended before it connected (exit code " + std::to_string(code) + ")");
    }
    // Only the process this program started may speak for the helper.
    ULONG client = 0;
    if (!GetNamedPipeClientProcessId(pipe, &client) || client != GetProcessId(process)) {
        return fail("another program connected to its pipe");
    }
    const auto hello = ReadMessage(pipe, deadlines.Start, process);
    const auto greeting = hello ? DecodeHello(*hello) : std::nullopt;
    if (!greeting) return fail("it did not greet");
    if (greeting->Version != ProtocolVersion) {
        return fail("it speaks version " + std::to_string(greeting->Version) + " of the protocol, not " +
                    std::to_string(ProtocolVersion));
    }
    start.Greeting = *greeting;
    start.Connection = std::make_unique<PipeConnection>(pipe, process, deadlines.Reply);
    return start;
}

HANDLE OpenHelperPipeClient(const std::wstring& name) {
    if (!IsHelperPipeName(name)) return INVALID_HANDLE_VALUE;
    return CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                       SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
}

bool ReadPipeExactly(HANDLE pipe, std::uint8_t* into, std::size_t n) {
    while (n > 0) {
        DWORD got = 0;
        if (!ReadFile(pipe, into, static_cast<DWORD>(std::min<std::size_t>(n, PipeBufferSize)), &got, nullptr) || got == 0) {
            return false;
        }
        into += got;
        n -= got;
    }
    return true;
}

bool WritePipeMessage(HANDLE pipe, const std::vector<std::uint8_t>& body) {
    const std::vector<std::uint8_t> message = Framed(body);
    const std::uint8_t* from = message.data();
    std::size_t n = message.size();
    while (n > 0) {
        DWORD put = 0;
        if (!WriteFile(pipe, from, static_cast<DWORD>(std::min<std::size_t>(n, PipeBufferSize)), &put, nullptr) || put == 0) {
            return false;
        }
        from += put;
        n -= put;
    }
    return true;
}

}  // namespace quenfall::helper
