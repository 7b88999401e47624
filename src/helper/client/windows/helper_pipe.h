#pragma once
// The named pipe between the window (or quenfall-cli) and quenfall-radio-helper.exe. The
// unelevated program creates it before it starts the helper: a random name, the first and
// only instance (FILE_FLAG_FIRST_PIPE_INSTANCE: nobody can have created it before), no
// remote clients, and a DACL that lets in only this user (and elevated administrators, the
// account an over-the-shoulder elevation may run the helper as). It then accepts exactly
// the helper process it started, by process id, and reads its greeting. The helper opens
// it for identification only, so the unelevated end can never impersonate it. Every further
// connection to the same helper is made the same way, on a pipe of its own whose name goes
// over the first; the helper connects only to a pipe whose server is the program that made
// the first.
//
// Every exchange has a deadline; a helper that died or stopped answering is seen as gone.
#include <windows.h>

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

#include "helper/client/helper_connection.h"

namespace quenfall::helper {

inline constexpr std::wstring_view HelperPipePrefix = L"\\\\.\\pipe\\quenfall-radio-helper-";

// HelperPipePrefix and 32 random hexadecimal digits; empty when the system has no random.
std::wstring RandomHelperPipeName();
// Whether name has that form (the helper connects to nothing else).
bool IsHelperPipeName(std::wstring_view name);

struct PipeDeadlines {
    // From the helper's process start to its greeting.
    std::chrono::milliseconds Start{10000};
    // For one reply: a command times out after 2 s; this allows for the error handling.
    std::chrono::milliseconds Reply{9000};
};

// The unelevated end, before the helper exists.
class HelperPipeServer {
public:
    // Null, with problem in words, when the pipe cannot be made.
    static std::unique_ptr<HelperPipeServer> Create(const std::wstring& name, std::string& problem);
    ~HelperPipeServer();
    HelperPipeServer(const HelperPipeServer&) = delete;
    HelperPipeServer& operator=(const HelperPipeServer&) = delete;

    const std::wstring& Name() const { return name_; }
    // Waits for process (the helper just started) to connect and greet. The pipe passes to
    // the connection; this object is spent either way.
    HelperStart Accept(HANDLE process, PipeDeadlines deadlines = {});

private:
    HelperPipeServer(std::wstring name, HANDLE pipe) : name_(std::move(name)), pipe_(pipe) {}
    std::wstring name_;
    HANDLE pipe_;
};

// The helper's end: the pipe opened for reading and writing at identification level only;
// INVALID_HANDLE_VALUE when it cannot be opened.
HANDLE OpenHelperPipeClient(const std::wstring& name);

// Blocking whole-message I/O on the helper's end. False at the end of the pipe or on error.
bool ReadPipeExactly(HANDLE pipe, std::uint8_t* into, std::size_t n);
bool WritePipeMessage(HANDLE pipe, const std::vector<std::uint8_t>& body);

}  // namespace quenfall::helper
