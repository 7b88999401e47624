#include "platform/windows/helper_trust_rule.h"

#include <algorithm>

namespace quenfall {

namespace {

constexpr const char* SystemSid = "S-1-5-18";
constexpr const char* AdministratorsSid = "S-1-5-32-544";
constexpr const char* TrustedInstallerSid = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
// Placeholders that stand for whoever creates or owns the object: CREATOR OWNER and
// CREATOR GROUP are only ever copied onto new objects; OWNER RIGHTS is the owner.
constexpr const char* CreatorOwnerSid = "S-1-3-0";
constexpr const char* CreatorGroupSid = "S-1-3-1";
constexpr const char* OwnerRightsSid = "S-1-3-4";

}  // namespace

bool IsAdministrativeSid(const std::string& sid) {
    return sid == SystemSid || sid == AdministratorsSid || sid == TrustedInstallerSid;
}

bool NonAdministratorMayChange(const ObjectAccess& object) {
    if (!object.Known || object.NullDacl) return true;
    if (!IsAdministrativeSid(object.OwnerSid)) return true;
    return std::any_of(object.Entries.begin(), object.Entries.end(), [&](const AccessEntry& entry) {
        if (!entry.Allows || entry.InheritOnly) return false;
        if ((entry.Mask & RightsThatChangeContent) == 0) return false;
        if (entry.Sid == CreatorOwnerSid || entry.Sid == CreatorGroupSid) return false;
        const std::string& trustee = entry.Sid == OwnerRightsSid ? object.OwnerSid : entry.Sid;
        return !IsAdministrativeSid(trustee);
    });
}

ElevationVerdict JudgeHelperElevation(const ObjectAccess& helperFile, const ObjectAccess& helperFolder,
                                      DesktopUser user) {
    ElevationVerdict verdict;
    const bool changeable = NonAdministratorMayChange(helperFile) || NonAdministratorMayChange(helperFolder);
    verdict.Elevate = !changeable || user == DesktopUser::Administrator;
    if (!verdict.Elevate) verdict.Problem = UntrustedHelperText;
    return verdict;
}

}  // namespace quenfall
