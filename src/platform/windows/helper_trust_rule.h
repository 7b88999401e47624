#pragma once
// Whether quenfall-radio-helper.exe may be started with an administrator's rights from where
// it lies. The elevated helper is only as trustworthy as its file: a file, or a folder, that
// a program running as an ordinary user can change may hold another program by the time
// Windows starts it. Where the person at the desktop is an administrator, the prompt they
// answer is a consent any program of theirs could raise anyway; where they are a standard
// user, it asks for another account's password, and a swapped file would cross from that
// user to the administrator. So: a helper that a non-administrator can change is started
// only for an administrator at the desktop.
//
// Pure: the security descriptors and the user's kind are read by the caller (the window's
// link before it asks Windows to elevate, the helper about itself at its start), so that the
// rule is tested on any system.
#include <cstdint>
#include <string>
#include <vector>

namespace quenfall {

// The access rights that let their holder change what a file holds, or which files a
// folder holds: write or append data (add a file or a subfolder), delete, delete a child,
// change the permissions or the owner, and the generic rights that include them.
inline constexpr std::uint32_t RightsThatChangeContent =
    0x00000002u      // FILE_WRITE_DATA / FILE_ADD_FILE
    | 0x00000004u    // FILE_APPEND_DATA / FILE_ADD_SUBDIRECTORY
    | 0x00000040u    // FILE_DELETE_CHILD
    | 0x00010000u    // DELETE
    | 0x00040000u    // WRITE_DAC
    | 0x00080000u    // WRITE_OWNER
    | 0x10000000u    // GENERIC_ALL
    | 0x40000000u;   // GENERIC_WRITE

// The accounts an administrator's install leaves in charge: SYSTEM, the Administrators
// group, the TrustedInstaller service.
bool IsAdministrativeSid(const std::string& sid);

// One entry of a discretionary access list, its trustee as a SID string ("S-1-5-32-545").
struct AccessEntry {
    bool Allows = true;         // false: a deny entry, which can only take rights away
    bool InheritOnly = false;   // for what is created inside, not for the object itself
    std::uint32_t Mask = 0;
    std::string Sid;
};

// A file's or folder's owner and access list, as the system reported them.
struct ObjectAccess {
    bool Known = false;    // false: the system would not tell (read as changeable)
    bool NullDacl = false; // no access list at all: everyone may do everything
    std::string OwnerSid;
    std::vector<AccessEntry> Entries;
};

// Whether an account that is not an administrator could change the object: it owns it (an
// owner may always rewrite the permissions), or an entry that applies to the object allows
// it a right that changes content. Deny entries are not weighed: the answer may say
// "changeable" for an object that a deny entry protects, never the other way.
bool NonAdministratorMayChange(const ObjectAccess& object);

// Who is at the desktop: an administrator (their elevation is a consent prompt), a standard
// user (it asks for an administrator's password), or not known (read as standard).
enum class DesktopUser { Administrator, Standard, Unknown };

struct ElevationVerdict {
    bool Elevate = false;
    std::string Problem;  // when not: what the user should do, in plain words
};

// The rule, over the helper file and the folder it sits in.
ElevationVerdict JudgeHelperElevation(const ObjectAccess& helperFile, const ObjectAccess& helperFolder,
                                      DesktopUser user);

// What the user reads when the rule refuses.
inline constexpr const char* UntrustedHelperText =
    "Quenfall did not ask Windows for an administrator's permission: quenfall-radio-helper.exe "
    "lies in a folder that programs running as you can change, so another program could have "
    "taken its place. Nothing was sent to the radio. Install Quenfall with its Windows "
    "installer (the .msi file of this release), which puts it in Program Files where only "
    "administrators can change it, or have an administrator sign in to upgrade the radio.";

// What the helper answers the program that started it when, checking itself, it finds the
// same: it serves nothing.
inline constexpr const char* UntrustedHelperServesNotText =
    "quenfall-radio-helper.exe will not send the radio's commands: it lies in a folder that "
    "programs running as a standard user can change, so it may not be the one Quenfall "
    "installed. Nothing was sent to the radio. Install Quenfall with its Windows installer "
    "(the .msi file of this release), which puts it in Program Files where only "
    "administrators can change it.";

}  // namespace quenfall
