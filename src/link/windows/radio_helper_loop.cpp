#include "link/windows/radio_helper_loop.h"

#include <winioctl.h>

#include <array>
#include <vector>

#include "link/windows/helper_pipe.h"
#include "link/windows/storage_query.h"
#include "link/windows/usb_disk_location.h"

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

int RunRadioHelper(const std::wstring& pipeName, WindowsHelperSystem system) {
    HANDLE pipe = OpenHelperPipeClient(pipeName);
    if (pipe == INVALID_HANDLE_VALUE) return 1;
    int status = 0;
    {
        WindowsHelperService service(std::move(system));
        if (!WritePipeMessage(pipe, EncodeHello(service.Greeting()))) {
            status = 1;
        } else {
            std::vector<std::uint8_t> body;
            for (;;) {
                std::array<std::uint8_t, LengthPrefixSize> prefix{};
                if (!ReadPipeExactly(pipe, prefix.data(), prefix.size())) break;  // the client closed its end
                const auto length = AnnouncedLength(prefix);
                if (!length) {  // not our protocol: stop rather than guess
                    status = 2;
                    break;
                }
                body.resize(*length);
                if (!ReadPipeExactly(pipe, body.data(), body.size())) {
                    status = 2;
                    break;
                }
                if (!WritePipeMessage(pipe, EncodeReply(service.Handle(DecodeRequest(body))))) break;
            }
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
    system.PassThrough = [](HANDLE drive, PassThroughBuffer& buffer) -> DWORD {
        DWORD returned = 0;
        if (DeviceIoControl(drive, IOCTL_SCSI_PASS_THROUGH_DIRECT, &buffer, sizeof buffer, &buffer, sizeof buffer,
                            &returned, nullptr)) {
            return 0;
        }
        const DWORD error = GetLastError();
        return error != 0 ? error : ERROR_GEN_FAILURE;
    };
    system.Close = [](HANDLE drive) { CloseHandle(drive); };
    system.IsElevated = [] { return ProcessIsElevated(); };
    return system;
}

}  // namespace quenfall::helper
