#pragma once
// What a system gives Quenfall. This is the interface each platform implements, in its own
// folder chosen by the build (QUENFALL_PLATFORM): platform/linux, platform/windows, and
// platform/none for a system without radio support, the start of any port. Nothing outside
// those folders asks which system it runs on. Every entry below is mandatory (a platform
// defines it), except where it says what a platform without the feature returns; each says
// whether it blocks and on which thread it is called.
//
// The platform-free halves (the drive list's and the doctor's types, following a radio by
// its location, the USB event filters) sit beside this header; a platform's own pure rules
// (Linux's sysfs drive selection, Windows' storage descriptor and location paths) sit in its
// folder and are built on every system, so that their tests run everywhere.
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "package/package_digest.h"
#include "platform/drive_list_link.h"
#include "platform/radio_diagnosis.h"

namespace quenfall {

// ---- Scan and open --------------------------------------------------------------------

class PlatformDeviceLink : public DriveListLink {
public:
    // Empty when this process may send the radio's vendor commands; otherwise what the user
    // must do first. OpenDevice refuses with the same text; asking early lets a front end
    // say so before anything is sent.
    virtual std::string PermissionProblem() const = 0;
};

// The system's radio drives. Blocking (scans and opens block the calling thread); the link
// is used by one thread at a time, any thread. Optional: null where the system has no
// radio support (then only the emulated radio can be used, and the front ends say so).
std::unique_ptr<PlatformDeviceLink> MakePlatformDeviceLink();

// The name this system gives the index-th removable disk present (removable_disk_names.h):
// the emulated crate's radios are named so. Pure, any thread. Mandatory.
std::string RemovableDiskName(std::size_t index);

// What a front end says when MakePlatformDeviceLink gives null.
inline constexpr std::string_view NoRadioSupportText =
    "this build has no radio support on this system; only --emulate works";

// ---- The USB event source -------------------------------------------------------------

// For a program without a window: each call returns how many USB devices (and, on Linux,
// whole disks) arrived or left since the last one. Not blocking; called on the thread of
// the run that made it. With a location (RadioDrive::Location), only the device at that
// location counts: the watch of one radio in a crate hears of its radio, not of the
// others' restarts. Optional: empty where the system tells only windows of devices, or
// tells nothing (the device watch then scans again on its own).
std::function<int()> MakeUsbEventCounter(const std::string& location = {});

// ---- The window's device-watch registration -------------------------------------------

// Notices of USB devices arriving and leaving for a window, delivered on the window's
// thread. A system delivers them one of two ways: a descriptor the window's event loop
// watches (Linux: udev's monitor), or the window's own messages (Windows:
// WM_DEVICECHANGE). Alive for as long as notices should come.
class WindowDeviceWatch {
public:
    virtual ~WindowDeviceWatch() = default;
    // A descriptor to watch for readability, then call Dispatch; -1 where notices come as
    // window messages.
    virtual int EventDescriptor() const = 0;
    // Reads every pending notice without blocking and runs changed once for each.
    virtual void Dispatch() = 0;
    // Shown every native message of the window before the face handles it (on Windows a
    // MSG*, eventType "windows_generic_MSG"): runs changed when it tells of a USB device
    // arriving or leaving. Never swallows the message.
    virtual void TakeNativeMessage(std::string_view eventType, const void* message) = 0;
};

struct WindowDeviceWatchStart {
    std::unique_ptr<WindowDeviceWatch> Watch;  // null when the registration failed
    std::string ErrorText;                     // on failure: the system's error number
};

// Registers for notices on the window's thread, not blocking. nativeWindow gives the
// window's native handle (an HWND on Windows) and is called only where notices come as
// window messages. Optional: a platform without notices returns a watch that never runs
// changed.
WindowDeviceWatchStart WatchWindowDevices(const std::function<void*()>& nativeWindow,
                                          std::function<void()> changed);

// ---- The doctor -----------------------------------------------------------------------

// The facts `quenfall-cli doctor` judges, gathered from this system: it reads what the
// system says and may start the radio helper to hear its greeting; it sends no vendor
// command. Blocking, on the caller's thread. Mandatory (a system without radio support
// gives the key set and no disks).
DoctorFacts GatherDoctorFacts();
// This system's own checks, judged over those facts (radio_diagnosis.h). Pure.
const SystemChecks& PlatformDoctorChecks();

// ---- The history file's locked append -------------------------------------------------

// This user's history file, from the environment by the system's convention
// (history_place.h); empty when none can be named. Not blocking, any thread. Mandatory.
std::filesystem::path HistoryPath();

// A history file opened for reading under the same rules as appending: a regular file
// (never a folder, a device or a pipe) owned by this user where the system has owners, and
// never reached through a symbolic link or a reparse point in its own name.
struct OpenedHistory {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> File{nullptr, &std::fclose};
    bool Missing = false;  // no such file: nothing recorded yet
    std::string Problem;   // why it cannot be read, in words
};
// Not blocking beyond the open itself, any thread. Mandatory.
OpenedHistory OpenHistoryForReading(const std::filesystem::path& file);

// Appends line (one record, without its line end) to file, creating the file and its
// folders as needed, under the system's exclusive lock on the file (history_file.h tells
// the rules; the file is opened as OpenHistoryForReading opens it: never through a link,
// only the user's own regular file). Empty when the record is on the disk; otherwise what
// went wrong, in words.
// Blocking (waits at most HistoryLockPatience for another program's lock), any thread.
// Never throws. Mandatory: a system without a file lock appends without one.
std::string AppendHistoryLine(const std::filesystem::path& file, std::string_view line);

// ---- The package digest --------------------------------------------------------------

// ComputeSha256 (package/package_digest.h), which the loader calls once per file read: a
// maintained implementation where the system has one (Linux: OpenSSL's libcrypto; Windows:
// BCrypt, loaded from the system folder only), a portable one in platform/none. Blocking for
// the length of the computation, any thread. Mandatory; none when the system's
// implementation cannot be reached (the package then loads without its digest).

// ---- Interruptions --------------------------------------------------------------------

// For a program that runs upgrades from a terminal: from now on the system's requests to
// stop (Ctrl-C, SIGTERM, SIGHUP; on Windows Ctrl-C, Ctrl-Break and the console closing) are
// counted by Interruption (platform/interruption.h) instead of ending the process; the third
// ends it at once. Not blocking; called once, on the main thread, before any run.
// Mandatory (standard C's signals where the system has nothing better).
void CatchInterruptions();

// ---- The user's language ----------------------------------------------------------------

// The languages the user asked the system to show its texts in, best first, as the system
// names them ("de_DE.UTF-8", "pt-BR"); none for English or when the system does not say.
// Linux and the system-free build read the POSIX environment (text/language_choice.h);
// Windows asks for the user's UI languages. Not blocking; any thread. Mandatory.
std::vector<std::string> PreferredLanguages();

// ---- The console ----------------------------------------------------------------------
// What the command line needs of its system. None blocks; any thread. Mandatory.

namespace cli {

// First thing in main, before anything loads a library: on Windows, from then on only the
// system folder is searched for DLLs, never the program's own folder or the current
// directory. Nothing where the system needs nothing.
void PrepareProcess();
// A path from a command-line word, which main hands over in UTF-8 on every platform.
std::filesystem::path PathFromArgument(const std::string& word);
// The program's arguments in UTF-8. On Windows they are taken from the wide command line,
// so that a file name with characters outside the code page still opens.
std::vector<std::string> ProgramArguments(int argc, char** argv);
// True when the stream is an interactive terminal (no progress bar otherwise).
bool StdoutIsTerminal();
// True when rows may be redrawn in place with escape sequences: a terminal that is known to
// understand them.
bool TerminalRedrawsInPlace();
// The width in characters of the terminal standard output shows on, as it is now (it
// follows a resize); 0 when standard output is no terminal or the system cannot tell.
std::size_t TerminalColumns();

}  // namespace cli

}  // namespace quenfall
