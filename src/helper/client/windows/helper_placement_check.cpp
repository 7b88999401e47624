#include "helper/client/windows/helper_placement_check.h"

#include <aclapi.h>
#include <sddl.h>

#include <memory>
#include <vector>

namespace quenfall::helper {

namespace {

struct LocalFreer {
    void operator()(void* p) const { LocalFree(p); }
};
struct HandleCloser {
    void operator()(HANDLE h) const { CloseHandle(h); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

std::string SidText(PSID sid) {
    LPWSTR text = nullptr;
    if (sid == nullptr || !ConvertSidToStringSidW(sid, &text)) return {};
    const std::unique_ptr<wchar_t, LocalFreer> owned(text);
    std::string narrow;
    for (const wchar_t* c = text; *c != 0; ++c) narrow.push_back(static_cast<char>(*c));
    return narrow;
}

constexpr const char* EveryoneSid = "S-1-1-0";

}  // namespace

std::wstring ThisProgramPath() {
    std::vector<wchar_t> path(32768);
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    return std::wstring(path.data(), length);
}

std::wstring FolderOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash);
}

ElevationVerdict CheckHelperPlacement(const std::wstring& helperPath, const PlacementSystem& system) {
    const ObjectAccess file = system.ReadAccess(helperPath);
    const ObjectAccess folder = system.ReadAccess(FolderOf(helperPath));
    return JudgeHelperElevation(file, folder, system.User());
}

StartedHelper StartHelperIfTrusted(const std::wstring& helperPath, const PlacementSystem& system,
                                   const std::function<StartedHelper()>& start) {
    const ElevationVerdict verdict = CheckHelperPlacement(helperPath, system);
    if (verdict.Elevate) return start();
    StartedHelper refused;
    refused.Start.Problem = "it lies where a non-administrator can change it";
    refused.Start.Advice = verdict.Problem;
    return refused;
}

ObjectAccess ReadObjectAccess(const std::wstring& path) {
    ObjectAccess access;
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                              &owner, nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
        return access;
    }
    const std::unique_ptr<void, LocalFreer> owned(descriptor);
    access.OwnerSid = SidText(owner);
    if (dacl == nullptr) {
        access.NullDacl = true;
        access.Known = true;
        return access;
    }
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(dacl, i, &ace)) return ObjectAccess{};
        const auto* header = static_cast<const ACE_HEADER*>(ace);
        AccessEntry entry;
        entry.InheritOnly = (header->AceFlags & INHERIT_ONLY_ACE) != 0;
        switch (header->AceType) {
            case ACCESS_ALLOWED_ACE_TYPE: {
                const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
                entry.Mask = allowed->Mask;
                entry.Sid = SidText(const_cast<DWORD*>(&allowed->SidStart));
                break;
            }
            case ACCESS_DENIED_ACE_TYPE:
            case ACCESS_DENIED_OBJECT_ACE_TYPE:
            case ACCESS_DENIED_CALLBACK_ACE_TYPE:
            case ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE:
                entry.Allows = false;
                break;
            default:
                // An allow entry of a kind not read here (conditional, object): weighed as if
                // it let everyone change everything, so that it can only make the rule stricter.
                entry.Mask = RightsThatChangeContent;
                entry.Sid = EveryoneSid;
                break;
        }
        access.Entries.push_back(std::move(entry));
    }
    access.Known = true;
    return access;
}

DesktopUser UserOfToken(HANDLE token) {
    DWORD size = 0;
    GetTokenInformation(token, TokenGroups, nullptr, 0, &size);
    if (size == 0) return DesktopUser::Unknown;
    std::vector<std::uint8_t> buffer(size);
    if (!GetTokenInformation(token, TokenGroups, buffer.data(), size, &size)) return DesktopUser::Unknown;
    std::uint8_t administrators[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof administrators;
    if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &sidSize)) return DesktopUser::Unknown;
    const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
    for (DWORD i = 0; i < groups->GroupCount; ++i) {
        if (EqualSid(groups->Groups[i].Sid, administrators)) return DesktopUser::Administrator;
    }
    return DesktopUser::Standard;
}

PlacementSystem PlacementSystemOfThisProcess() {
    PlacementSystem system;
    system.ReadAccess = ReadObjectAccess;
    system.User = [] {
        HANDLE token = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return DesktopUser::Unknown;
        const Handle owned(token);
        return UserOfToken(token);
    };
    return system;
}

PlacementSystem PlacementSystemOfProcess(DWORD processId) {
    PlacementSystem system;
    system.ReadAccess = ReadObjectAccess;
    system.User = [processId] {
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
        if (process == nullptr) return DesktopUser::Unknown;
        const Handle ownedProcess(process);
        HANDLE token = nullptr;
        if (!OpenProcessToken(process, TOKEN_QUERY, &token)) return DesktopUser::Unknown;
        const Handle owned(token);
        return UserOfToken(token);
    };
    return system;
}

}  // namespace quenfall::helper
