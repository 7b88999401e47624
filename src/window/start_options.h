#pragma once
// The window program's start-up options, read the same way by both faces' entries:
//
//   --emulate            talk to an emulated radio instead of a real one (also
//                        QUENFALL_EMULATE set to anything but "" or "0"); for
//                        demonstrations and screenshots
//   --exit-when-shown    print "shown" once the window has been painted, then exit
//   --screenshot FILE    save the window as it was first painted to FILE, then exit
//                        (where the face can take a picture of itself)
//
// Anything else on the command line is passed over, as the window has no command line of
// its own to complain about.
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quenfall::window {

struct StartOptions {
    bool Emulate = false;
    bool ExitWhenShown = false;
    std::u16string ScreenshotFile;  // empty: no picture

    bool ExitsWhenShown() const { return ExitWhenShown || !ScreenshotFile.empty(); }
};

// The environment variable that asks for the emulated radio as --emulate does.
inline constexpr char EmulateVariable[] = "QUENFALL_EMULATE";

// arguments: the command line without the program's own name. emulateVariable: the value of
// EmulateVariable, nothing when it is not set.
StartOptions ReadStartOptions(std::span<const std::u16string> arguments,
                              std::optional<std::u16string_view> emulateVariable);

}  // namespace quenfall::window
