#include "helper/server/windows/radio_helper_loop.h"

#include <winioctl.h>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "helper/client/windows/helper_pipe.h"
#include "helper/client/windows/helper_placement_check.h"
#include "platform/windows/storage_query.h"
#include "platform/windows/usb_disk_location.h"

namespace quenfall::helper {

namespace {

// The command line's words, split at blanks; a word in quotes keeps its blanks. Enough for
// what the starting program passes (the program's path, which may hold blanks, and two
// words without).
std::vector<std::wstring> Words(const wchar_t* line) {
    std::vector<std::wstring> words;
    std::wstring word;
    bool quoted = false;
    bool any = false;
    for (const wchar_t* c = line; *c != 0; ++c) {
        if (*c == L'"') {
            quoted = !quoted;
            any = true;
        } else if ((*c == L' ' || *c == L'\t') && !quoted) {
            if (any) words.push_back(word);
            word.clear();
            any = false;
        } else {
            word += *c;
            any = true;
        }
    }
    if (any) words.push_back(word);
    return words;
}

}  // namespace

std::wstring PipeNameFromCommandLine(const wchar_t* commandLine) {
    if (commandLine == nullptr) return {};
    const std::vector<std::wstring> words = Words(commandLine);
    if (words.size() != 3 || words[1] != L"--pipe" || !IsHelperPipeName(words[2])) return {};
    return words[2];
}

namespace {

// The most connections served at once: a crate through a hub, with room to spare.
constexpr std::size_t MaxChannels = 64;

Reply Answer(Outcome outcome, std::int32_t error, std::string text) {
    Reply reply;
    reply.Result = outcome;
    reply.Error = error;
    reply.Text = std::move(text);
    return reply;
}

// Answers the requests of one connection until it closes. channel, on the first connection
// only, answers its Channel requests. 0 at the end of the pipe, 2 on a message that is not
// the protocol.
int Serve(HANDLE pipe, RadioHelperService& service, const std::function<Reply(const std::string&)>& channel) {
    std::vector<std::uint8_t> body;
    for (;;) {
        std::array<std::uint8_t, LengthPrefixSize> prefix{};
        if (!ReadPipeExactly(pipe, prefix.data(), prefix.size())) return 0;  // the client closed its end
        const auto length = AnnouncedLength(prefix);
        if (!length) return 2;  // not our protocol: stop rather than guess
        body.resize(*length);
        if (!ReadPipeExactly(pipe, body.data(), body.size())) return 2;
        const Request request = DecodeRequest(body);
        const Reply reply =
            request.Type == RequestType::Channel && channel ? channel(request.Node) : service.Handle(request);
        if (!WritePipeMessage(pipe, EncodeReply(reply))) return 0;
    }
}

// The further connections of one client, each served on a thread of its own so that a
// radio that keeps one waiting (a command running into its time-out) holds up only its own
// upgrade. A connection goes only to a pipe made by the process that made the first one:
// the name travels over the first connection, and the pipe's server must be that process.
class Channels {
public:
    Channels(WindowsHelperSystem system, ULONG client, std::string refusal)
        : system_(std::move(system)), client_(client), refusal_(std::move(refusal)) {}
    ~Channels() {
        // Each ends when its client closes it; the helper ends after the last.
        for (auto& served : served_) served.Thread.join();
    }
    Channels(const Channels&) = delete;
    Channels& operator=(const Channels&) = delete;

    Reply Open(const std::string& name) {
        const std::wstring wide(name.begin(), name.end());
        if (!IsHelperPipeName(wide)) return Answer(Outcome::Refused, 0, "not a pipe of the radio helper's");
        Reap();
        if (served_.size() >= MaxChannels) return Answer(Outcome::Refused, 0, "too many connections at once");
        HANDLE pipe = OpenHelperPipeClient(wide);
        if (pipe == INVALID_HANDLE_VALUE) return Answer(Outcome::SystemError, static_cast<std::int32_t>(GetLastError()), {});
        ULONG server = 0;
        if (!GetNamedPipeServerProcessId(pipe, &server) || server != client_) {
            CloseHandle(pipe);
            return Answer(Outcome::Refused, 0, "another program made that pipe");
        }
        auto done = std::make_shared<std::atomic<bool>>(false);
        served_.push_back({std::thread([pipe, done, system = system_, refusal = refusal_] {
                               {
                                   RadioHelperService service(std::make_unique<WindowsPassThrough>(system, refusal));
                                   if (WritePipeMessage(pipe, EncodeHello(service.Greeting()))) Serve(pipe, service, {});
                               }
                               CloseHandle(pipe);
                               done->store(true);
                           }),
                           done});
        return Answer(Outcome::Done, 0, {});
    }

private:
    struct Served {
        std::thread Thread;
        std::shared_ptr<std::atomic<bool>> Done;
    };

    // Threads whose connection has closed, joined, so that a long session of many upgrades
    // keeps only the live ones.
    void Reap() {
        for (auto it = served_.begin(); it != served_.end();) {
            if (it->Done->load()) {
                it->Thread.join();
                it = served_.erase(it);
            } else {
                ++it;
            }
        }
    }

    WindowsHelperSystem system_;
    ULONG client_;
    std::string refusal_;
    std::vector<Served> served_;
};

}  // namespace

int RunRadioHelper(const std::wstring& pipeName, WindowsHelperSystem system) {
    HANDLE pipe = OpenHelperPipeClient(pipeName);
    if (pipe == INVALID_HANDLE_VALUE) return 1;
    // The first pipe was made before this process existed, as its only instance: its
    // server is the program that started the helper.
    ULONG client = 0;
    if (!GetNamedPipeServerProcessId(pipe, &client)) {
        CloseHandle(pipe);
        return 1;
    }
    // Its own check of where it lies, whatever the program that started it checked: that
    // program runs as the user, and the user's programs are what the check guards against.
    const std::string refusal = system.PlacementProblem ? system.PlacementProblem(client) : std::string();
    int status = 0;
    {
        Channels channels(system, client, refusal);
        RadioHelperService service(std::make_unique<WindowsPassThrough>(std::move(system), refusal));
        if (!WritePipeMessage(pipe, EncodeHello(service.Greeting()))) {
            status = 1;
        } else {
            status = Serve(pipe, service, [&channels](const std::string& name) { return channels.Open(name); });
        }
    }
    CloseHandle(pipe);
    return status;
}

WindowsHelperSystem RealWindowsHelperSystem() {
    WindowsHelperSystem system;
    system.OpenDrive = [](const std::wstring& volume) {
        OpenedDrive opened;
        opened.Handle = CreateFileW(volume.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
        if (opened.Handle == INVALID_HANDLE_VALUE) opened.Error = GetLastError();
        return opened;
    };
    system.QueryDescriptor = [](HANDLE drive) { return QueryStorageDescriptor(drive); };
    system.Location = [](HANDLE drive) { return UsbLocationOfVolume(drive); };
    system.PassThrough = [](HANDLE drive, PassThroughRequest& request) -> DWORD {
        DWORD returned = 0;
        if (DeviceIoControl(drive, IOCTL_SCSI_PASS_THROUGH_DIRECT, &request, sizeof request, &request, sizeof request,
                            &returned, nullptr)) {
            return 0;
        }
        const DWORD error = GetLastError();
        return error != 0 ? error : ERROR_GEN_FAILURE;
    };
    system.Close = [](HANDLE drive) { CloseHandle(drive); };
    system.IsElevated = [] { return ProcessIsElevated(); };
    system.PlacementProblem = [](DWORD startingProcess) {
        const ElevationVerdict verdict = CheckHelperPlacement(ThisProgramPath(), PlacementSystemOfProcess(startingProcess));
        return verdict.Elevate ? std::string() : std::string(UntrustedHelperServesNotText);
    };
    return system;
}

}  // namespace quenfall::helper
