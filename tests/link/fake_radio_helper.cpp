// The radio helper of the tests: quenfall-radio-helper.exe's own loop and pipe, with the
// drive calls faked (tests/link/fake_windows_drives.h): an emulated radio already in boot
// mode behind \\.\R:. When the pipe closes it writes what the radio saw to the file named by
// QUENFALL_FAKE_HELPER_REPORT: "commands N" and "vendor blocks only" or the offending
// command, "sections intact" or what differs, and the radio's protocol violations.
#include <windows.h>

#include <cstdio>
#include <fstream>

#include "fake_windows_drives.h"
#include "link/windows/radio_helper_loop.h"
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
    const int status = helper::RunRadioHelper(pipe, drives.System());

    char report[MAX_PATH] = {};
    if (GetEnvironmentVariableA("QUENFALL_FAKE_HELPER_REPORT", report, MAX_PATH) > 0) {
        std::ofstream out(report, std::ios::trunc);
        out << "status " << status << "\ncommands " << drives.commands.size() << '\n';
        bool vendorOnly = true;
        for (const auto& c : drives.commands) vendorOnly = vendorOnly && c.CommandBlockIsTheVendors;
        out << (vendorOnly ? "vendor blocks only" : "another command block") << '\n';
        const auto differences = drives.radio.CompareSections(SectionsOf(*package));
        out << (differences.empty() ? "sections intact" : "sections differ") << '\n';
        for (const auto& d : differences) out << "difference: " << d << '\n';
        for (const auto& v : drives.radio.Violations()) out << "violation: " << v << '\n';
        out << "exits answered " << drives.radio.ExitsAnswered() << '\n';
    }
    return status;
}
