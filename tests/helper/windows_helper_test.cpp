// The Windows radio helper, under wine: its service against faked drive calls (what it opens,
// what it refuses, what it sends), and the whole road from an Upgrade click to the radio:
// the window's link starts the helper through the shell's "runas" verb, talks to it over its
// pipe, and the upgrade completes on the emulated radio behind the helper's faked drives.
// Several links of one program share that one helper, each over a pipe of its own: radios
// upgraded at once, and a radio that never answers holding up no other.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <thread>

#include "fake_windows_drives.h"
#include "helper/helper_request_check.h"
#include "helper/client/helper_reply_outcome.h"
#include "helper/client/windows/elevated_helper_start.h"
#include "helper/client/windows/helper_drive_link.h"
#include "helper/client/windows/helper_placement_check.h"
#include "helper/client/windows/helper_pipe.h"
#include "helper/server/windows/radio_helper_loop.h"
#include "helper/client/windows/shared_radio_helper.h"
#include "upgrade/status_texts.h"
#include "upgrade/upgrade_sequencer.h"
#include "upgrade/virtual_clock.h"
#include "run_rig.h"
#include "upgrade_fakes.h"
#include "windows_helper_package.h"

namespace quenfall::test {
namespace {

using helper::Outcome;
using helper::Request;
using helper::RequestType;

Request Open(const std::string& node) {
    Request r;
    r.Type = RequestType::Open;
    r.Node = node;
    return r;
}
Request Write(std::size_t n) {
    Request r;
    r.Type = RequestType::Write;
    r.Data.assign(n, 0x11);
    return r;
}
Request Read(std::uint32_t n) {
    Request r;
    r.Type = RequestType::Read;
    r.ReadLength = n;
    return r;
}

EmulatedRadioConfig RadioInBootMode() {
    EmulatedRadioConfig config;
    config.Selection = HelperTestPackage()->Selection;
    config.RestartOnEnter = false;
    return config;
}

TEST(WindowsHelperService, OpensOnlyTheRadioAndSaysWhereItSits) {
    FakeDrives drives(RadioInBootMode());
    helper::RadioHelperService service(std::make_unique<helper::WindowsPassThrough>(drives.System()));
    EXPECT_TRUE(service.Greeting().HasRawIo);
    EXPECT_EQ(service.Greeting().Version, helper::ProtocolVersion);

    // A USB stick with another identity: opened, asked, closed, nothing sent.
    const auto stick = service.Handle(Open("\\\\.\\N:"));
    EXPECT_EQ(stick.Result, Outcome::NotTheRadio);
    EXPECT_EQ(drives.closed, std::vector<HANDLE>{StickHandle});
    EXPECT_EQ(service.Handle(Write(8)).Result, Outcome::Refused);  // no drive is open
    const auto missing = service.Handle(Open("\\\\.\\Q:"));
    EXPECT_EQ(missing.Result, Outcome::SystemError);
    EXPECT_EQ(missing.Error, static_cast<std::int32_t>(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(drives.commands.empty());

    const auto radio = service.Handle(Open("\\\\.\\R:"));
    EXPECT_EQ(radio.Result, Outcome::Done);
    EXPECT_EQ(radio.Text, RadioLocation);
    // One helper serves every upgrade of its window: a second Open closes the first drive.
    EXPECT_EQ(service.Handle(Open("\\\\.\\N:")).Result, Outcome::NotTheRadio);
    EXPECT_EQ(drives.closed, (std::vector<HANDLE>{StickHandle, RadioHandle, StickHandle}));
    EXPECT_EQ(service.Handle(Read(9)).Result, Outcome::Refused);
}

// The identity alone proves nothing (any disk's firmware can report it): the helper asks the
// handle it would send through whether the drive is on USB and holds removable media.
TEST(WindowsHelperService, RefusesTheRadiosIdentityOffTheUsbBusOrWithoutRemovableMedia) {
    FakeDrives drives(RadioInBootMode());
    helper::RadioHelperService service(std::make_unique<helper::WindowsPassThrough>(drives.System()));

    const auto otherBus = service.Handle(Open("\\\\.\\U:"));
    EXPECT_EQ(otherBus.Result, Outcome::NotTheRadio);
    EXPECT_NE(otherBus.Text.find("not on the USB bus"), std::string::npos) << otherBus.Text;
    const auto fixed = service.Handle(Open("\\\\.\\V:"));
    EXPECT_EQ(fixed.Result, Outcome::NotTheRadio);
    EXPECT_NE(fixed.Text.find("removable media"), std::string::npos) << fixed.Text;
    EXPECT_EQ(drives.closed, (std::vector<HANDLE>{OtherBusHandle, FixedUsbHandle}));
    EXPECT_EQ(service.Handle(Write(8)).Result, Outcome::Refused);
    EXPECT_TRUE(drives.commands.empty());

    EXPECT_EQ(service.Handle(Open("\\\\.\\R:")).Result, Outcome::Done);
}

// A helper that found itself where a non-administrator could have swapped it opens nothing.
TEST(WindowsHelperService, AHelperThatDistrustsItsOwnPlacementOpensNoDrive) {
    FakeDrives drives(RadioInBootMode());
    helper::RadioHelperService service(
        std::make_unique<helper::WindowsPassThrough>(drives.System(), UntrustedHelperServesNotText));
    const auto radio = service.Handle(Open("\\\\.\\R:"));
    EXPECT_EQ(radio.Result, Outcome::Refused);
    EXPECT_EQ(radio.Text, UntrustedHelperServesNotText);
    EXPECT_EQ(service.Handle(Write(8)).Result, Outcome::Refused);
    EXPECT_TRUE(drives.opened.empty());
    EXPECT_TRUE(drives.commands.empty());
}

TEST(WindowsHelperService, SendsOnlyTheVendorCommandsWithTheDialoguesLengths) {
    FakeDrives drives(RadioInBootMode());
    helper::RadioHelperService service(std::make_unique<helper::WindowsPassThrough>(drives.System()));
    ASSERT_EQ(service.Handle(Open("\\\\.\\R:")).Result, Outcome::Done);
    for (std::size_t n : {8, 10, 22, 2065}) EXPECT_EQ(service.Handle(Write(n)).Result, Outcome::Done) << n;
    const auto answer = service.Handle(Read(9));
    EXPECT_EQ(answer.Result, Outcome::Done);
    EXPECT_EQ(answer.Data.size(), 9u);
    // Every length the Linux helper refuses, refused here too, and nothing sent for them.
    const std::size_t sent = drives.commands.size();
    for (std::size_t n : {0, 1, 7, 9, 23, 2064, 2066, 4096}) EXPECT_EQ(service.Handle(Write(n)).Result, Outcome::Refused) << n;
    for (std::uint32_t n : {0u, 4097u, 65535u}) EXPECT_EQ(service.Handle(Read(n)).Result, Outcome::Refused) << n;
    EXPECT_EQ(service.Handle(Request{}).Result, Outcome::Refused);
    EXPECT_EQ(drives.commands.size(), sent);
    ASSERT_EQ(drives.commands.size(), 5u);
    for (const auto& c : drives.commands) EXPECT_TRUE(c.CommandBlockIsTheVendors);
    EXPECT_EQ(drives.commands[3].Length, 2065u);
    EXPECT_FALSE(drives.commands[4].Write);

    // A failing command is reported with the system's code, and a failed read gives no data.
    drives.channel.reset();
    const auto failed = service.Handle(Read(9));
    EXPECT_EQ(failed.Result, Outcome::SystemError);
    EXPECT_EQ(failed.Error, static_cast<std::int32_t>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(failed.Data, std::vector<std::uint8_t>(9, 0));
}

TEST(WindowsHelperService, ACommandsReplyCarriesTheDevicesStatusAndSenseToTheClient) {
    FakeDrives drives(RadioInBootMode());
    helper::RadioHelperService service(std::make_unique<helper::WindowsPassThrough>(drives.System()));
    ASSERT_EQ(service.Handle(Open("\\\\.\\R:")).Result, Outcome::Done);

    // A good command: no status, no sense, however much sense room the request had.
    const auto good = service.Handle(Write(8));
    EXPECT_EQ(good.ScsiStatus, 0);
    EXPECT_TRUE(good.Sense.empty());
    EXPECT_TRUE(OutcomeOfHelperReply(good, ErrorCodes::Windows).Good());

    // CHECK CONDITION with fixed-format sense: ILLEGAL REQUEST, invalid field in CDB.
    drives.scsiStatus = 0x02;
    drives.sense = {0x70, 0, 0x05, 0, 0, 0, 0, 0x0a, 0, 0, 0, 0, 0x24, 0x00};
    for (const auto& request : {Write(8), Read(9)}) {
        const auto reply = service.Handle(request);
        ASSERT_EQ(reply.Result, Outcome::Done);
        EXPECT_EQ(reply.ScsiStatus, 0x02);
        EXPECT_EQ(reply.Sense, drives.sense);
        // As the client reads it off the pipe.
        const auto decoded = helper::DecodeReply(helper::EncodeReply(reply));
        ASSERT_TRUE(decoded);
        const CommandOutcome outcome = OutcomeOfHelperReply(*decoded, ErrorCodes::Windows);
        EXPECT_EQ(outcome.Result, CommandResult::DeviceStatus);
        EXPECT_EQ(outcome.ScsiStatus, 0x02);
        EXPECT_EQ(std::vector<std::uint8_t>(outcome.SenseBytes().begin(), outcome.SenseBytes().end()), drives.sense);
        EXPECT_FALSE(IsRefusal(outcome));
    }

    // A command the system failed: its code, in Windows' numbers; access denied is a refusal.
    drives.channel.reset();
    const CommandOutcome failed = OutcomeOfHelperReply(service.Handle(Write(8)), ErrorCodes::Windows);
    EXPECT_EQ(failed.Result, CommandResult::SystemError);
    EXPECT_EQ(failed.Codes, ErrorCodes::Windows);
    EXPECT_EQ(failed.Error, static_cast<std::int32_t>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(IsRefusal(failed));
    EXPECT_TRUE(IsRefusal(OutcomeOfSystemError(ERROR_ACCESS_DENIED, ErrorCodes::Windows)));
    EXPECT_EQ(OutcomeOfHelperReply(service.Handle(Write(7)), ErrorCodes::Windows).Result, CommandResult::HelperRefused);
}

TEST(WindowsHelperService, NamesOnlyADriveLettersVolume) {
    using helper::NodeNaming;
    EXPECT_EQ(helper::WhyRequestRefused(Open("\\\\.\\E:"), false, NodeNaming::DriveLetter), "");
    EXPECT_EQ(helper::WhyRequestRefused(Open("\\\\.\\Z:"), true, NodeNaming::DriveLetter), "");
    for (const char* node : {"/dev/sg1", "\\\\.\\PhysicalDrive1", "\\\\.\\e:", "\\\\?\\E:", "\\\\.\\E:\\", "\\\\.\\E:x",
                             "E:", "\\\\.\\GLOBALROOT\\Device\\Harddisk1", "\\\\.\\pipe\\x", "\\\\.\\1:", ""}) {
        EXPECT_NE(helper::WhyRequestRefused(Open(node), false, NodeNaming::DriveLetter), "") << node;
    }
    EXPECT_NE(helper::WhyRequestRefused(Open(std::string("\\\\.\\E:\0", 7)), false, NodeNaming::DriveLetter), "");
    // And the Linux helper's naming refuses the Windows names.
    EXPECT_NE(helper::WhyRequestRefused(Open("\\\\.\\E:"), false), "");

    FakeDrives drives(RadioInBootMode());
    helper::RadioHelperService service(std::make_unique<helper::WindowsPassThrough>(drives.System()));
    EXPECT_EQ(service.Handle(Open("\\\\.\\PhysicalDrive1")).Result, Outcome::Refused);
    // Another connection is the first connection's to ask for, never a drive's.
    Request channel;
    channel.Type = RequestType::Channel;
    channel.Node = "\\\\.\\pipe\\quenfall-radio-helper-0123456789abcdef0123456789abcdef";
    EXPECT_EQ(service.Handle(channel).Result, Outcome::Refused);
    EXPECT_TRUE(drives.opened.empty());
    const auto decoded = helper::DecodeRequest(helper::EncodeRequest(channel));
    EXPECT_EQ(decoded.Type, RequestType::Channel);
    EXPECT_EQ(decoded.Node, channel.Node);
}

TEST(WindowsHelperPipe, NamesAndCommandLines) {
    const std::wstring name = helper::RandomHelperPipeName();
    EXPECT_TRUE(helper::IsHelperPipeName(name));
    EXPECT_NE(name, helper::RandomHelperPipeName());
    EXPECT_FALSE(helper::IsHelperPipeName(L"\\\\.\\pipe\\quenfall-radio-helper-0123"));
    EXPECT_FALSE(helper::IsHelperPipeName(L"\\\\server\\pipe\\quenfall-radio-helper-0123456789abcdef0123456789abcdef"));
    EXPECT_EQ(helper::PipeNameFromCommandLine((L"\"C:\\Program Files\\Q\\quenfall-radio-helper.exe\" --pipe " + name).c_str()),
              name);
    EXPECT_EQ(helper::PipeNameFromCommandLine((L"helper.exe --pipe " + name + L" --more").c_str()), L"");
    EXPECT_EQ(helper::PipeNameFromCommandLine(L"helper.exe --pipe \\\\.\\pipe\\other"), L"");
    EXPECT_EQ(helper::PipeNameFromCommandLine(L"helper.exe"), L"");

    // The first instance only: nobody can have made the pipe before, nor make a second.
    std::string problem;
    auto first = helper::HelperPipeServer::Create(name, problem);
    ASSERT_NE(first, nullptr) << problem;
    EXPECT_EQ(helper::HelperPipeServer::Create(name, problem), nullptr);
    EXPECT_FALSE(problem.empty());
}

// The build's path of the fake helper; under wine a Unix path is the same path on Z:.
std::wstring FakeHelperPath() {
    std::string path = QUENFALL_FAKE_HELPER;
    if (!path.empty() && path.front() == '/') path = "Z:" + path;
    for (char& c : path) c = c == '/' ? '\\' : c;
    return std::wstring(path.begin(), path.end());
}

std::string TempFile(const char* name) {
    char dir[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + name;
}

const RadioDrive RadioR{"\\\\.\\R:", RadioLocation, "STM     ", "microSD Flash   "};
const RadioDrive RadioS{"\\\\.\\S:", SecondLocation, "STM     ", "microSD Flash   "};
const RadioDrive SilentT{"\\\\.\\T:", SilentLocation, "STM     ", "microSD Flash   "};

// A link's drive system whose scan finds drive alone and whose helper is shared.
WindowsDriveSystem SystemFor(const RadioDrive& drive, std::shared_ptr<helper::SharedRadioHelper> shared) {
    WindowsDriveSystem system;
    system.ScanRadios = [drive] { return std::vector<RadioDrive>{drive}; };
    system.OpenHelperChannel = [shared] { return shared->OpenChannel(); };
    return system;
}

// One upgrade through link, as each radio's run in a crate has it: a sequencer and clock of
// its own. The texts shown, and the boxes.
struct Upgraded {
    std::vector<std::string> Texts;
    std::vector<std::string> Errors;
    bool Ended = false;
};
Upgraded UpgradeThrough(DeviceLink& link, int runs = 1) {
    VirtualClock clock;
    RecordView view;
    UpgradeSequencer sequencer(link, view, clock);
    test::HandTimersTo(clock, sequencer);
    const auto package = HelperTestPackage();
    Upgraded result;
    result.Ended = true;
    for (int run = 0; run < runs && result.Ended; ++run) {
        sequencer.Button2Click(package);
        result.Ended = clock.RunUntil([&] { return !sequencer.Busy() && sequencer.State().Channel == nullptr; },
                                      std::chrono::minutes(5));
    }
    result.Texts = view.Texts;
    result.Errors = view.Errors;
    return result;
}

bool Completed(const Upgraded& u) { return u.Ended && !u.Texts.empty() && u.Texts.back() == UpgradeCompleteText && u.Errors.empty(); }

// What the fake helper wrote when its last pipe closed (the first radio's lines come last).
std::string HelperReport(const std::string& report) {
    std::string text;
    for (int i = 0; i < 200 && text.find("\nexits answered ") == std::string::npos; ++i) {
        Sleep(50);
        std::ifstream in(report);
        std::stringstream all;
        all << in.rdbuf();
        text = all.str();
    }
    return text;
}

std::string FreshReport(const char* name) {
    const std::string report = TempFile((std::string(name) + "-" + std::to_string(GetCurrentProcessId()) + ".txt").c_str());
    DeleteFileA(report.c_str());
    SetEnvironmentVariableA("QUENFALL_FAKE_HELPER_REPORT", report.c_str());
    return report;
}

// What the window does at its Upgrade click, with the scan faked (wine has no radio): the
// helper starts through runas at the first open, and only then.
TEST(WindowsHelperLink, UpgradeClickStartsTheHelperThroughRunasAndCompletesOverItsPipe) {
    const std::string report = FreshReport("quenfall-fake-helper-click");
    int starts = 0;
    auto shared = std::make_shared<helper::SharedRadioHelper>([&] {
        ++starts;
        return helper::StartElevatedHelper(FakeHelperPath());
    });
    {
        HelperDriveLink link(SystemFor(RadioR, shared));
        EXPECT_EQ(starts, 0);  // not at start
        const Upgraded twice = UpgradeThrough(link, 2);
        EXPECT_TRUE(Completed(twice)) << ::testing::PrintToString(twice.Texts) << ::testing::PrintToString(twice.Errors);
        EXPECT_EQ(starts, 1);  // one elevation for every upgrade of the window
    }
    // The link is gone and so is the program's hold on the helper: it has ended and written
    // what its radio saw.
    shared.reset();
    const std::string text = HelperReport(report);
    EXPECT_NE(text.find("status 0\n"), std::string::npos) << text;
    EXPECT_NE(text.find("vendor blocks only\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nsections intact\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("violation"), std::string::npos) << text;
    EXPECT_NE(text.find("\nexits answered 2\n"), std::string::npos) << text;
}

// A crate: two radios upgraded at once, each run on its own thread with its own link, then a
// third link after them: one helper (one elevation) served them all, each over its own pipe.
TEST(WindowsHelperLink, SeveralLinksShareOneElevatedHelperAndRadiosAreUpgradedAtOnce) {
    const std::string report = FreshReport("quenfall-fake-helper-crate");
    std::atomic<int> starts = 0;
    auto shared = std::make_shared<helper::SharedRadioHelper>([&] {
        ++starts;
        return helper::StartElevatedHelper(FakeHelperPath());
    });
    {
        HelperDriveLink first(SystemFor(RadioR, shared));
        HelperDriveLink second(SystemFor(RadioS, shared));
        Upgraded a;
        Upgraded b;
        std::thread runA([&] { a = UpgradeThrough(first); });
        std::thread runB([&] { b = UpgradeThrough(second); });
        runA.join();
        runB.join();
        EXPECT_TRUE(Completed(a)) << ::testing::PrintToString(a.Texts) << ::testing::PrintToString(a.Errors);
        EXPECT_TRUE(Completed(b)) << ::testing::PrintToString(b.Texts) << ::testing::PrintToString(b.Errors);
        HelperDriveLink later(SystemFor(RadioR, shared));
        const Upgraded c = UpgradeThrough(later);
        EXPECT_TRUE(Completed(c)) << ::testing::PrintToString(c.Texts) << ::testing::PrintToString(c.Errors);
        EXPECT_EQ(starts.load(), 1);
    }
    shared.reset();
    // One helper process saw both radios.
    const std::string text = HelperReport(report);
    EXPECT_NE(text.find("status 0\n"), std::string::npos) << text;
    EXPECT_NE(text.find("vendor blocks only\n"), std::string::npos) << text;
    EXPECT_NE(text.find("second: sections intact\n"), std::string::npos) << text;
    EXPECT_NE(text.find("second: exits answered 1\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nsections intact\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nexits answered 2\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("violation"), std::string::npos) << text;
}

// The helper's own loop on a thread of this test, over fake drives the test can watch and
// hold: its first pipe made and accepted as the elevated start makes and accepts it.
class HelperInThisProcess {
public:
    explicit HelperInThisProcess(FakeDrives& drives) : drives_(drives) {}
    ~HelperInThisProcess() {
        if (thread_.joinable()) thread_.join();
    }
    helper::StartedHelper Start(helper::PipeDeadlines deadlines) {
        helper::StartedHelper started;
        if (thread_.joinable()) {  // one helper per test: a second start is a fault
            started.Start.Problem = "started twice";
            return started;
        }
        const std::wstring name = helper::RandomHelperPipeName();
        auto pipe = helper::HelperPipeServer::Create(name, started.Start.Problem);
        if (!pipe) return started;
        thread_ = std::thread([this, name] { status_ = helper::RunRadioHelper(name, drives_.System()); });
        HANDLE self = nullptr;
        DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self, 0, FALSE, DUPLICATE_SAME_ACCESS);
        DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &started.Process, 0, FALSE,
                        DUPLICATE_SAME_ACCESS);
        started.Start = pipe->Accept(self, deadlines);
        return started;
    }
    // The loop's status once it has ended.
    int Ended() {
        thread_.join();
        return status_;
    }

private:
    FakeDrives& drives_;
    std::thread thread_;
    int status_ = -1;
};

// While a radio that never answers keeps its run's command waiting (as one runs into its
// time-out), another radio's whole upgrade goes through the same helper: only that run waits.
TEST(WindowsHelperLink, ARadioThatNeverAnswersHoldsUpOnlyItsOwnRun) {
    FakeDrives drives(RadioInBootMode());
    HelperInThisProcess inProcess(drives);
    helper::PipeDeadlines patient;
    patient.Reply = std::chrono::minutes(5);  // the silent command is answered when the test says
    int starts = 0;
    auto shared = std::make_shared<helper::SharedRadioHelper>(
        [&] {
            ++starts;
            return inProcess.Start(patient);
        },
        patient);
    std::atomic<bool> silentAnswered = false;
    CommandOutcome silentOutcome;
    {
        HelperDriveLink silent(SystemFor(SilentT, shared));
        HelperDriveLink radio(SystemFor(RadioR, shared));
        ASSERT_EQ(silent.ScanDrives(), 1);
        OpenResult opened = silent.OpenDevice();
        ASSERT_NE(opened.Channel, nullptr) << opened.Detail;
        std::thread waiting([&] {
            const std::vector<std::uint8_t> exitFrame(8, 0);
            silentOutcome = opened.Channel->ScsiWrite(exitFrame);
            silentAnswered = true;
        });
        struct Release {
            FakeDrives& drives;
            std::thread& thread;
            ~Release() {
                drives.ReleaseSilent();
                thread.join();
            }
        } release{drives, waiting};

        ASSERT_TRUE(drives.AwaitSilentCommands(1));
        const Upgraded other = UpgradeThrough(radio);
        EXPECT_TRUE(Completed(other)) << ::testing::PrintToString(other.Texts) << ::testing::PrintToString(other.Errors);
        EXPECT_FALSE(silentAnswered.load());  // still waiting after the whole other upgrade
        {
            std::lock_guard lock(drives.mutex);
            EXPECT_EQ(drives.silentWaiting, 1);
        }
        EXPECT_EQ(starts, 1);
    }
    // Released, the silent radio's command failed as one that timed out does.
    EXPECT_TRUE(silentAnswered.load());
    EXPECT_EQ(silentOutcome.Result, CommandResult::SystemError);
    EXPECT_EQ(silentOutcome.Error, static_cast<std::int32_t>(ERROR_SEM_TIMEOUT));
    EXPECT_TRUE(drives.radio.CompareSections(SectionsOf(*HelperTestPackage())).empty());
    EXPECT_TRUE(drives.radio.Violations().empty()) << ::testing::PrintToString(drives.radio.Violations());
    shared.reset();
    EXPECT_EQ(inProcess.Ended(), 0);
}

// The helper connects only to this program's pipes, and only when its first pipe asks.
TEST(WindowsHelperLink, TheHelperConnectsOnlyToPipesOfThisProgramWhenTheFirstPipeAsks) {
    FakeDrives drives(RadioInBootMode());
    HelperInThisProcess inProcess(drives);
    {
        helper::StartedHelper started = inProcess.Start({});
        ASSERT_NE(started.Start.Connection, nullptr) << started.Start.Problem;
        auto& first = *started.Start.Connection;
        Request channel;
        channel.Type = RequestType::Channel;
        for (const char* name : {"\\\\.\\pipe\\other", "\\\\.\\pipe\\quenfall-radio-helper-0123", "\\\\.\\R:", ""}) {
            channel.Node = name;
            const auto reply = first.Exchange(channel);
            ASSERT_TRUE(reply) << name;
            EXPECT_EQ(reply->Result, Outcome::Refused) << name;
        }
        // A pipe of the right form that nobody made: nothing to connect to.
        const std::wstring nobodys = helper::RandomHelperPipeName();
        channel.Node.assign(nobodys.begin(), nobodys.end());
        const auto missing = first.Exchange(channel);
        ASSERT_TRUE(missing);
        EXPECT_EQ(missing->Result, Outcome::SystemError);
        EXPECT_EQ(missing->Error, static_cast<std::int32_t>(ERROR_FILE_NOT_FOUND));

        // A further pipe is served, and it may not ask for more.
        helper::SharedRadioHelper shared([&] { return std::move(started); });
        helper::HelperStart more = shared.OpenChannel();
        ASSERT_NE(more.Connection, nullptr) << more.Problem;
        EXPECT_TRUE(more.Greeting.HasRawIo);
        const std::wstring another = helper::RandomHelperPipeName();
        std::string problem;
        auto made = helper::HelperPipeServer::Create(another, problem);
        ASSERT_NE(made, nullptr) << problem;
        channel.Node.assign(another.begin(), another.end());
        const auto refused = more.Connection->Exchange(channel);
        ASSERT_TRUE(refused);
        EXPECT_EQ(refused->Result, Outcome::Refused);
        const auto opened = more.Connection->Exchange(Open("\\\\.\\R:"));
        ASSERT_TRUE(opened);
        EXPECT_EQ(opened->Result, Outcome::Done);
        EXPECT_EQ(opened->Text, RadioLocation);
    }
    EXPECT_EQ(inProcess.Ended(), 0);
    EXPECT_EQ(drives.closed, std::vector<HANDLE>{RadioHandle});
}

TEST(WindowsHelperLink, AHelperThatCannotStartIsToldAtTheClickAndNothingIsSent) {
    int starts = 0;
    auto missing = std::make_shared<helper::SharedRadioHelper>([&] {
        ++starts;
        return helper::StartElevatedHelper(L"C:\\nowhere\\quenfall-radio-helper.exe");
    });
    HelperDriveLink link(SystemFor(RadioR, missing));
    ASSERT_EQ(link.ScanDrives(), 1);
    const OpenResult opened = link.OpenDevice();
    EXPECT_EQ(opened.Failure, OpenFailure::PermissionDenied);
    EXPECT_EQ(opened.Channel, nullptr);
    EXPECT_NE(opened.Detail.find("could not be started"), std::string::npos) << opened.Detail;
    EXPECT_NE(opened.Detail.find("nothing was sent"), std::string::npos) << opened.Detail;
    // A later click tries again.
    EXPECT_EQ(link.OpenDevice().Failure, OpenFailure::PermissionDenied);
    EXPECT_EQ(starts, 2);

    // A declined prompt, in the words the user reads.
    auto declined = std::make_shared<helper::SharedRadioHelper>([] {
        helper::StartedHelper started;
        started.Start.Problem = "the request for an administrator's permission was declined";
        return started;
    });
    HelperDriveLink declinedLink(SystemFor(RadioR, declined));
    declinedLink.ScanDrives();
    const OpenResult refused = declinedLink.OpenDevice();
    EXPECT_EQ(refused.Failure, OpenFailure::PermissionDenied);
    EXPECT_NE(refused.Detail.find("declined"), std::string::npos) << refused.Detail;
}

// The check before the elevation prompt, with the security descriptors and the desktop user
// faked: an install under Program Files, and a zip unpacked into a folder of the user's.
constexpr const wchar_t* InstalledHelper = L"C:\\Program Files\\Quenfall\\quenfall-radio-helper.exe";
constexpr const wchar_t* UnpackedHelper = L"C:\\Users\\ana\\Downloads\\quenfall\\quenfall-radio-helper.exe";

ObjectAccess AccessOwnedBy(const char* owner, const char* writer) {
    ObjectAccess a;
    a.Known = true;
    a.OwnerSid = owner;
    a.Entries = {{true, false, 0x001F01FF, "S-1-5-18"},
                 {true, false, 0x001F01FF, "S-1-5-32-544"},
                 {true, false, 0x001F01FF, writer},
                 {true, false, 0x001200A9, "S-1-5-32-545"}};
    return a;
}

helper::PlacementSystem FakedPlacement(DesktopUser user, std::vector<std::wstring>& asked) {
    helper::PlacementSystem system;
    system.ReadAccess = [&asked](const std::wstring& path) {
        asked.push_back(path);
        const std::wstring unpackedFolder = helper::FolderOf(UnpackedHelper);
        if (path == UnpackedHelper || path == unpackedFolder) {
            const char* user = "S-1-5-21-1004336348-1177238915-682003330-1001";
            return AccessOwnedBy(user, user);
        }
        return AccessOwnedBy("S-1-5-32-544", "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464");
    };
    system.User = [user] { return user; };
    return system;
}

TEST(HelperPlacement, AStandardUserIsNotPromptedForAHelperTheyCouldHaveSwapped) {
    struct Case {
        const wchar_t* Helper;
        DesktopUser User;
        bool Prompted;
    };
    const Case cases[] = {
        {InstalledHelper, DesktopUser::Administrator, true},
        {InstalledHelper, DesktopUser::Standard, true},
        {UnpackedHelper, DesktopUser::Administrator, true},
        {UnpackedHelper, DesktopUser::Standard, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Helper, c.Helper + std::wcslen(c.Helper)) +
                     (c.User == DesktopUser::Administrator ? " administrator" : " standard user"));
        std::vector<std::wstring> asked;
        int prompts = 0;
        const helper::StartedHelper started =
            helper::StartHelperIfTrusted(c.Helper, FakedPlacement(c.User, asked), [&] {
                ++prompts;
                helper::StartedHelper declined;
                declined.Start.Problem = "the request for an administrator's permission was declined";
                return declined;
            });
        EXPECT_EQ(prompts, c.Prompted ? 1 : 0);
        // The file and the folder it sits in were both asked about.
        EXPECT_EQ(asked, (std::vector<std::wstring>{c.Helper, helper::FolderOf(c.Helper)}));
        if (c.Prompted) {
            EXPECT_NE(started.Start.Problem.find("declined"), std::string::npos);
            EXPECT_EQ(started.Start.Advice, "");
        } else {
            EXPECT_EQ(started.Start.Advice, UntrustedHelperText);
            EXPECT_EQ(started.Process, nullptr);
        }
    }
    EXPECT_EQ(helper::FolderOf(InstalledHelper), L"C:\\Program Files\\Quenfall");
}

// What the window shows at the Upgrade click when it did not ask: the advice to install, not
// the usual "answer Yes when Windows asks".
TEST(HelperPlacement, TheClickTellsAStandardUserToInstallAndSendsNothing) {
    std::vector<std::wstring> asked;
    int prompts = 0;
    auto shared = std::make_shared<helper::SharedRadioHelper>([&] {
        return helper::StartHelperIfTrusted(UnpackedHelper, FakedPlacement(DesktopUser::Standard, asked), [&] {
            ++prompts;
            return helper::StartElevatedHelper(FakeHelperPath());
        });
    });
    HelperDriveLink link(SystemFor(RadioR, shared));
    ASSERT_EQ(link.ScanDrives(), 1);
    const OpenResult opened = link.OpenDevice();
    EXPECT_EQ(opened.Failure, OpenFailure::PermissionDenied);
    EXPECT_EQ(opened.Channel, nullptr);
    EXPECT_EQ(opened.Detail, UntrustedHelperText);
    EXPECT_EQ(prompts, 0);
}

// The real calls, on this test program's own file and token. Under wine every program holds
// the Administrators group, so the check lets the window go on there, wherever it lies.
TEST(HelperPlacement, TheRealCallsReadAnOwnerAndAnAccessListAndTheDesktopUser) {
    const std::wstring self = helper::ThisProgramPath();
    for (const std::wstring& path : {self, helper::FolderOf(self)}) {
        const ObjectAccess access = helper::ReadObjectAccess(path);
        EXPECT_TRUE(access.Known);
        EXPECT_EQ(access.OwnerSid.rfind("S-1-", 0), 0u) << access.OwnerSid;
        EXPECT_TRUE(access.NullDacl || !access.Entries.empty());
        for (const AccessEntry& entry : access.Entries) {
            if (entry.Allows) EXPECT_EQ(entry.Sid.rfind("S-1-", 0), 0u) << entry.Sid;
        }
    }
    // A file Windows cannot tell about counts as one anybody may change.
    const ObjectAccess missing = helper::ReadObjectAccess(helper::FolderOf(self) + L"\\no-such-helper.exe");
    EXPECT_FALSE(missing.Known);
    EXPECT_TRUE(NonAdministratorMayChange(missing));

    EXPECT_EQ(helper::PlacementSystemOfThisProcess().User(), DesktopUser::Administrator);
    EXPECT_EQ(helper::PlacementSystemOfProcess(GetCurrentProcessId()).User(), DesktopUser::Administrator);
    // A process that is not there: nobody known at the desktop.
    EXPECT_EQ(helper::PlacementSystemOfProcess(0xFFFFFFF0u).User(), DesktopUser::Unknown);
    EXPECT_TRUE(helper::CheckHelperPlacement(self, helper::PlacementSystemOfThisProcess()).Elevate);
}

// The helper's own check at its start, through its real loop and pipe: it asks about the
// process that started it (the one that made its first pipe), and when it distrusts where it
// lies it opens no drive for any connection.
TEST(HelperPlacement, TheHelperChecksItselfAndThenServesNothing) {
    const std::string report = FreshReport("quenfall-fake-helper-untrusted");
    SetEnvironmentVariableA("QUENFALL_FAKE_HELPER_UNTRUSTED", "1");
    auto shared = std::make_shared<helper::SharedRadioHelper>([] { return helper::StartElevatedHelper(FakeHelperPath()); });
    {
        HelperDriveLink link(SystemFor(RadioR, shared));
        ASSERT_EQ(link.ScanDrives(), 1);
        const OpenResult opened = link.OpenDevice();
        EXPECT_EQ(opened.Channel, nullptr);
        EXPECT_EQ(opened.Detail, UntrustedHelperServesNotText);
        // A second connection of the same helper is refused alike.
        HelperDriveLink second(SystemFor(RadioS, shared));
        ASSERT_EQ(second.ScanDrives(), 1);
        EXPECT_EQ(second.OpenDevice().Detail, UntrustedHelperServesNotText);
    }
    SetEnvironmentVariableA("QUENFALL_FAKE_HELPER_UNTRUSTED", nullptr);
    shared.reset();
    const std::string text = HelperReport(report);
    EXPECT_NE(text.find("placement asked for process " + std::to_string(GetCurrentProcessId()) + "\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("drives opened 0\n"), std::string::npos) << text;
    EXPECT_NE(text.find("commands 0\n"), std::string::npos) << text;
}

TEST(WindowsHelperLink, ARadioAtAnotherPortIsNotCommanded) {
    auto shared = std::make_shared<helper::SharedRadioHelper>([] { return helper::StartElevatedHelper(FakeHelperPath()); });
    // The scan found the radio at another port than where the helper's drive now sits.
    HelperDriveLink link(SystemFor({"\\\\.\\R:", "1400-2.1", "STM     ", "microSD Flash   "}, shared));
    link.ScanDrives();
    const OpenResult opened = link.OpenDevice();
    EXPECT_EQ(opened.Failure, OpenFailure::CannotOpen);
    EXPECT_EQ(opened.Channel, nullptr);
    EXPECT_NE(opened.Detail.find("1400-2.1"), std::string::npos) << opened.Detail;
}

}  // namespace
}  // namespace quenfall::test
