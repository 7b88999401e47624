// A system without radio support: everything but the radio's drive works (packages, the
// emulated radio, the history, both windows). What a port to another system starts from:
// each entry here is the least that platform.h asks, written with the standard library
// alone.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <system_error>

#include "history/history_place.h"
#include "platform/platform.h"
#include "platform/removable_disk_names.h"
#include "protocol/key_tables.h"

namespace quenfall {

namespace {

// Hears nothing: without notices the device watch finds a radio by scanning again.
class NoWindowDeviceWatch final : public WindowDeviceWatch {
public:
    int EventDescriptor() const override { return -1; }
    void Dispatch() override {}
    void TakeNativeMessage(std::string_view, const void*) override {}
};

void NoneLines(const DoctorFacts&, const std::vector<const DiskFacts*>&, std::vector<DoctorLine>& lines) {
    lines.push_back({"radio link", false, std::string(NoRadioSupportText) + "."});
}

}  // namespace

std::string RemovableDiskName(std::size_t index) { return KernelDiskName(index); }

std::unique_ptr<PlatformDeviceLink> MakePlatformDeviceLink() { return nullptr; }

std::function<int()> MakeUsbEventCounter(const std::string&) { return {}; }

WindowDeviceWatchStart WatchWindowDevices(const std::function<void*()>&, std::function<void()>) {
    return {std::make_unique<NoWindowDeviceWatch>(), {}};
}

DoctorFacts GatherDoctorFacts() {
    DoctorFacts facts;
    facts.KeySetName = std::string(KeySetName());
    facts.KeySetFingerprint = std::string(KeySetFingerprint());
    return facts;
}

const SystemChecks& PlatformDoctorChecks() {
    static const SystemChecks checks{
        NoneLines,
        [](const DoctorFacts&, const DiskFacts&) { return false; },
        [](const std::string& refused) { return "this user may not open " + refused + "."; },
    };
    return checks;
}

// The base directory convention, which most systems without one of their own follow.
std::filesystem::path HistoryPath() {
    return LinuxHistoryPath(NarrowHistoryEnvironment());
}

// The standard library can tell a link and a regular file from the name, but not from an
// open file: a check before the open, which a system of its own closes with its open call.
static std::string NotAHistory(const std::filesystem::path& file) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::symlink_status(file, error);
    if (std::filesystem::is_symlink(status))
        return file.string() + " is a symbolic link: a history is never read or written through one";
    if (std::filesystem::is_directory(status)) return file.string() + " is a folder, not a history file";
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
        return file.string() + " is not a regular file (a device, a pipe or a socket), so it is no history";
    return {};
}

OpenedHistory OpenHistoryForReading(const std::filesystem::path& file) {
    OpenedHistory opened;
    if (file.empty()) {
        opened.Problem = "no place for the history: set QUENFALL_HISTORY, XDG_STATE_HOME or HOME";
        return opened;
    }
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::symlink_status(file, error))) {
        opened.Missing = true;
        return opened;
    }
    if (opened.Problem = NotAHistory(file); !opened.Problem.empty()) return opened;
    opened.File.reset(std::fopen(file.string().c_str(), "rb"));
    if (!opened.File) opened.Problem = "cannot open " + file.string();
    return opened;
}

// Without a file lock of the system's: one whole line, opened for appending, flushed.
std::string AppendHistoryLine(const std::filesystem::path& file, std::string_view line) {
    if (file.empty()) return "no place for the history: set QUENFALL_HISTORY, XDG_STATE_HOME or HOME";
    if (std::string problem = NotAHistory(file); !problem.empty()) return problem;
    if (std::error_code error; file.has_parent_path() && !std::filesystem::exists(file.parent_path(), error)) {
        if (!std::filesystem::create_directories(file.parent_path(), error) && error) {
            return "cannot create the folder of " + file.string() + ": " + error.message();
        }
    }
    std::string record;
    {
        std::ifstream existing(file, std::ios::binary | std::ios::ate);
        if (existing && existing.tellg() > 0) {
            existing.seekg(-1, std::ios::end);
            if (existing.get() != '\n') record += '\n';
        }
    }
    record += line;
    record += '\n';
    std::ofstream out(file, std::ios::binary | std::ios::app);
    if (!out) return "cannot open " + file.string();
    out.write(record.data(), static_cast<std::streamsize>(record.size()));
    out.flush();
    if (!out) return "cannot write " + file.string();
    return {};
}

namespace cli {

void PrepareProcess() {}

std::filesystem::path PathFromArgument(const std::string& word) { return std::filesystem::path(word); }

std::vector<std::string> ProgramArguments(int argc, char** argv) { return {argv + 1, argv + argc}; }

// The standard library cannot tell a terminal: plain lines, never a redrawn row.
bool StdoutIsTerminal() { return false; }
bool TerminalRedrawsInPlace() { return false; }
std::size_t TerminalColumns() { return 0; }

}  // namespace cli

}  // namespace quenfall
