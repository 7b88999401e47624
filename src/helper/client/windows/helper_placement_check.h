#pragma once
// What the helper's trust rule (platform/windows/helper_trust_rule.h) weighs, read from
// Windows: the owner and access list of the helper file and of its folder, and whether the
// person at the desktop is an administrator. Through a PlacementSystem, so that tests give
// the answers and run the rule's wiring under wine, whose files and tokens say little.
#include <windows.h>

#include <functional>
#include <string>

#include "helper/client/windows/elevated_helper_start.h"
#include "platform/windows/helper_trust_rule.h"

namespace quenfall::helper {

struct PlacementSystem {
    // The owner and access list of a file or folder; Known false when Windows would not tell.
    std::function<ObjectAccess(const std::wstring& path)> ReadAccess;
    // Who sits at the desktop.
    std::function<DesktopUser()> User;
};

// The running program's own file.
std::wstring ThisProgramPath();

// "C:\Program Files\Quenfall" of "C:\Program Files\Quenfall\quenfall-radio-helper.exe".
std::wstring FolderOf(const std::wstring& path);

// The rule over the helper at helperPath and its folder.
ElevationVerdict CheckHelperPlacement(const std::wstring& helperPath, const PlacementSystem& system);

// Runs start (the elevation prompt) only when the rule allows it; otherwise says why, with
// the whole advice for the user, and no prompt is shown.
StartedHelper StartHelperIfTrusted(const std::wstring& helperPath, const PlacementSystem& system,
                                   const std::function<StartedHelper()>& start);

// The real calls. ReadObjectAccess: GetNamedSecurityInfoW. UserOfToken: an administrator's
// token holds the Administrators group, enabled when elevated and for deny only when not (a
// split token); a standard user's does not hold it at all.
ObjectAccess ReadObjectAccess(const std::wstring& path);
DesktopUser UserOfToken(HANDLE token);
// The desktop user as this process's own token says (the window, before it asks to elevate).
PlacementSystem PlacementSystemOfThisProcess();
// The desktop user as the token of processId says (the helper, of the program that started
// it: its own token is an administrator's whoever sits at the desktop).
PlacementSystem PlacementSystemOfProcess(DWORD processId);

}  // namespace quenfall::helper
