#pragma once
// The window program's start-up options, read the same way by both faces' entries:
//
//   quenfall [--shop [--station]] [--emulate [N]] [--emulate-fault FAULT[@K]] [PACKAGE]
//
//   --shop               the shop window (a crate of radios, one row each) instead of the
//                        main window
//   --station            the shop window's station mode on from the start: each radio
//                        upgraded once as it is plugged in; with --emulate N the emulated
//                        radios are plugged in one after another
//   --emulate [N]        talk to emulated radios instead of real ones (also QUENFALL_EMULATE
//                        set to anything but "" or "0"): the main window's one emulated radio,
//                        or a crate of N (1 when no number follows) for the shop window; for
//                        demonstrations and screenshots
//   --emulate-fault FAULT[@K]  emulated radio K of the crate (from 1), or every one, has
//                        this fault, for practice with failed runs (startup/radio_choice.h
//                        names them; a name it does not know stops the start with a box)
//   PACKAGE              loaded as the window is first shown, exactly as Select would load it
//   --exit-when-shown    print "shown" once the window has been painted, then exit
//   --screenshot FILE    save the window as it was first painted to FILE, then exit
//                        (where the face can take a picture of itself)
//   --help, --version    print the usage or the version and exit, with no window and no
//                        display needed
//
// Any other option, or an option without the value it needs, is a usage error: the entry
// prints it with the usage and exits with status 2 before any window exists, so that a
// mistyped --emulate never starts against a real radio. Of several words that are not
// options, the first is the package.
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "window/window_face.h"

namespace quenfall::window {

// The most emulated radios one hub of the crate is given.
inline constexpr std::size_t MaxEmulatedRadios = 64;

struct StartOptions {
    bool Emulate = false;
    std::size_t EmulatedRadios = 1;  // with Emulate: how many the shop window gets
    bool Shop = false;
    bool Station = false;  // the shop window's station mode on at start
    std::vector<std::u16string> EmulationFaults;  // the words after --emulate-fault, unread
    std::u16string PackageFile;      // empty: none
    bool ExitWhenShown = false;
    std::u16string ScreenshotFile;  // empty: no picture
    bool Help = false;
    bool Version = false;
    std::string Error;  // a usage error, naming the option; empty when there is none

    bool ExitsWhenShown() const { return ExitWhenShown || !ScreenshotFile.empty(); }
};

// The environment variable that asks for the emulated radio as --emulate does.
inline constexpr char EmulateVariable[] = "QUENFALL_EMULATE";

// arguments: the command line without the program's own name. emulateVariable: the value of
// EmulateVariable, nothing when it is not set.
StartOptions ReadStartOptions(std::span<const std::u16string> arguments,
                              std::optional<std::u16string_view> emulateVariable);

// What --help prints, and what a usage error is followed by; ends in '\n'.
std::string StartUsage();
// What --version prints: the program's version and its key set; ends in '\n'.
std::string StartVersion();

// The package of the command line as the package dialog would have handed it over: the
// whole path, relative to the folder the program was started in. None when none was given.
std::optional<ChosenFile> StartPackage(const StartOptions& options);

}  // namespace quenfall::window
