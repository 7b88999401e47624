// The Windows radio helper, under wine: its service against faked drive calls (what it opens,
// what it refuses, what it sends), and the whole road from an Upgrade click to the radio:
// the window's link starts the helper through the shell's "runas" verb, talks to it over its
// pipe, and the upgrade completes on the emulated radio behind the helper's faked drives.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "fake_windows_drives.h"
#include "link/helper_protocol/helper_request_check.h"
#include "link/helper_reply_outcome.h"
#include "link/windows/elevated_helper_start.h"
#include "link/windows/helper_drive_link.h"
#include "link/windows/helper_pipe.h"
#include "link/windows/radio_helper_loop.h"
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
    helper::WindowsHelperService service(drives.System());
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

TEST(WindowsHelperService, SendsOnlyTheVendorCommandsWithTheDialoguesLengths) {
    FakeDrives drives(RadioInBootMode());
    helper::WindowsHelperService service(drives.System());
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
    helper::WindowsHelperService service(drives.System());
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
    helper::WindowsHelperService service(drives.System());
    EXPECT_EQ(service.Handle(Open("\\\\.\\PhysicalDrive1")).Result, Outcome::Refused);
    EXPECT_TRUE(drives.opened.empty());
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

// What the window does at its Upgrade click, with the scan faked (wine has no radio): the
// helper starts through runas at the first open, and only then.
TEST(WindowsHelperLink, UpgradeClickStartsTheHelperThroughRunasAndCompletesOverItsPipe) {
    const std::string report = TempFile("quenfall-fake-helper-report.txt");
    DeleteFileA(report.c_str());
    SetEnvironmentVariableA("QUENFALL_FAKE_HELPER_REPORT", report.c_str());
    int starts = 0;
    WindowsDriveSystem system;
    system.ScanRadios = [] { return std::vector<RadioDrive>{{"\\\\.\\R:", RadioLocation, "STM     ", "microSD Flash   "}}; };
    system.StartHelper = [&] {
        ++starts;
        return helper::StartElevatedHelper(FakeHelperPath());
    };
    {
        HelperDriveLink link(system);
        VirtualClock clock;
        RecordView view;
        UpgradeSequencer sequencer(link, view, clock);
        test::HandTimersTo(clock, sequencer);
        EXPECT_EQ(starts, 0);  // not at start
        const auto package = HelperTestPackage();
        for (int run = 0; run < 2; ++run) {
            sequencer.Button2Click(package);
            ASSERT_TRUE(clock.RunUntil([&] { return !sequencer.Busy() && sequencer.State().Channel == nullptr; },
                                       std::chrono::minutes(5)));
            EXPECT_EQ(view.Texts.back(), std::string(UpgradeCompleteText)) << ::testing::PrintToString(view.Texts);
            EXPECT_TRUE(view.Errors.empty()) << ::testing::PrintToString(view.Errors);
        }
        EXPECT_EQ(starts, 1);  // one elevation for every upgrade of the window
    }
    // The link is gone, so is the pipe: the helper has ended and written what its radio saw.
    std::string text;
    for (int i = 0; i < 100 && text.find("exits answered") == std::string::npos; ++i) {
        Sleep(50);
        std::ifstream in(report);
        std::stringstream all;
        all << in.rdbuf();
        text = all.str();
    }
    EXPECT_NE(text.find("status 0\n"), std::string::npos) << text;
    EXPECT_NE(text.find("vendor blocks only\n"), std::string::npos) << text;
    EXPECT_NE(text.find("sections intact\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("violation"), std::string::npos) << text;
    EXPECT_NE(text.find("exits answered 2\n"), std::string::npos) << text;
}

TEST(WindowsHelperLink, AHelperThatCannotStartIsToldAtTheClickAndNothingIsSent) {
    WindowsDriveSystem system;
    system.ScanRadios = [] { return std::vector<RadioDrive>{{"\\\\.\\R:", RadioLocation, "STM     ", "microSD Flash   "}}; };
    system.StartHelper = [] { return helper::StartElevatedHelper(L"C:\\nowhere\\quenfall-radio-helper.exe"); };
    HelperDriveLink link(system);
    ASSERT_EQ(link.ScanDrives(), 1);
    const OpenResult opened = link.OpenDevice();
    EXPECT_EQ(opened.Failure, OpenFailure::PermissionDenied);
    EXPECT_EQ(opened.Channel, nullptr);
    EXPECT_NE(opened.Detail.find("could not be started"), std::string::npos) << opened.Detail;
    EXPECT_NE(opened.Detail.find("nothing was sent"), std::string::npos) << opened.Detail;

    // A declined prompt, in the words the user reads.
    helper::HelperStart declined;
    declined.Problem = "the request for an administrator's permission was declined";
    system.StartHelper = [&] { return std::move(declined); };
    HelperDriveLink declinedLink(system);
    declinedLink.ScanDrives();
    const OpenResult refused = declinedLink.OpenDevice();
    EXPECT_EQ(refused.Failure, OpenFailure::PermissionDenied);
    EXPECT_NE(refused.Detail.find("declined"), std::string::npos) << refused.Detail;
}

TEST(WindowsHelperLink, ARadioAtAnotherPortIsNotCommanded) {
    WindowsDriveSystem system;
    // The scan found the radio at another port than where the helper's drive now sits.
    system.ScanRadios = [] { return std::vector<RadioDrive>{{"\\\\.\\R:", "1400-2.1", "STM     ", "microSD Flash   "}}; };
    system.StartHelper = [] { return helper::StartElevatedHelper(FakeHelperPath()); };
    HelperDriveLink link(system);
    link.ScanDrives();
    const OpenResult opened = link.OpenDevice();
    EXPECT_EQ(opened.Failure, OpenFailure::CannotOpen);
    EXPECT_EQ(opened.Channel, nullptr);
    EXPECT_NE(opened.Detail.find("1400-2.1"), std::string::npos) << opened.Detail;
}

}  // namespace
}  // namespace quenfall::test
