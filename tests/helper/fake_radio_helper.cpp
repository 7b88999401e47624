// The radio helper of the tests: quenfall-radio-helper.exe's own loop and pipe, with the
// drive calls faked (tests/helper/fake_windows_drives.h): emulated radios already in boot
// mode behind \\.\R: and \\.\S:. When its last pipe closes it writes what the radios saw
// to the file named by QUENFALL_FAKE_HELPER_REPORT: "commands N" and "vendor blocks only" or
// the offending command, then for each radio "sections intact" or what differs, its
// protocol violations and its exits answered (the second's lines begin "second: ").
#include <windows.h>

#include <cstdio>
#include <fstream>

#include "fake_windows_drives.h"
#include "platform/windows/helper_trust_rule.h"
#include "helper/server/windows/radio_helper_loop.h"
#include "upgrade_fakes.h"
#include "windows_helper_package.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    using namespace quenfall;
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    const std::wstring pipe = helper::PipeNameFromCommandLine(GetCommandLineW());
    if (pipe.empty()) return 2;
    const auto package = test::HelperTestPackage();
    EmulatedRadioConfig config;
    config.Selection = package->Selection;
    config.RestartOnEnter = false;
    test::FakeDrives drives(config);
    // Set: the helper finds itself where a non-administrator could have swapped it.
    if (GetEnvironmentVariableA("QUENFALL_FAKE_HELPER_UNTRUSTED", nullptr, 0) > 0) {
        drives.placementProblem = UntrustedHelperServesNotText;
    }
    const int status = helper::RunRadioHelper(pipe, drives.System());

    char report[MAX_PATH] = {};
    if (GetEnvironmentVariableA("QUENFALL_FAKE_HELPER_REPORT", report, MAX_PATH) > 0) {
        std::ofstream out(report, std::ios::trunc);
        out << "status " << status << "\ncommands " << drives.commands.size() << '\n';
        for (DWORD asked : drives.placementAskedFor) out << "placement asked for process " << asked << '\n';
        out << "drives opened " << drives.opened.size() << '\n';
        bool vendorOnly = true;
        for (const auto& c : drives.commands) vendorOnly = vendorOnly && c.CommandBlockIsTheVendors;
        out << (vendorOnly ? "vendor blocks only" : "another command block") << '\n';
        auto describe = [&](const EmulatedRadio& radio, const char* prefix) {
            const auto differences = radio.CompareSections(SectionsOf(*package));
            out << prefix << (differences.empty() ? "sections intact" : "sections differ") << '\n';
            for (const auto& d : differences) out << prefix << "difference: " << d << '\n';
            for (const auto& v : radio.Violations()) out << prefix << "violation: " << v << '\n';
            out << prefix << "exits answered " << radio.ExitsAnswered() << '\n';
        };
        // The second first: the test waits for the first radio's last line.
        describe(drives.second, "second: ");
        describe(drives.radio, "");
    }
    return status;
}
