// The elevated helper's trust rule, over access lists as Windows reports them: which
// placements a non-administrator can change, and when a standard user is asked to elevate.
#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <string>

#include "platform/windows/helper_trust_rule.h"

namespace quenfall {
namespace {

// Access lists as Windows gives them: an install by an administrator under Program Files,
// and a zip unpacked in a user's Downloads.
constexpr const char* UserSid = "S-1-5-21-1004336348-1177238915-682003330-1001";
constexpr const char* UsersSid = "S-1-5-32-545";
constexpr const char* AuthenticatedUsersSid = "S-1-5-11";
constexpr const char* TrustedInstaller = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
constexpr std::uint32_t FullControl = 0x001F01FF;
constexpr std::uint32_t ReadAndExecute = 0x001200A9;
constexpr std::uint32_t Modify = 0x001301BF;

ObjectAccess ProgramFilesFolder() {
    ObjectAccess a;
    a.Known = true;
    a.OwnerSid = "S-1-5-32-544";
    a.Entries = {{true, false, FullControl, TrustedInstaller},
                 {true, false, FullControl, "S-1-5-18"},
                 {true, false, FullControl, "S-1-5-32-544"},
                 {true, false, ReadAndExecute, UsersSid},
                 {true, true, 0x10000000, "S-1-3-0"},  // CREATOR OWNER: for what is created inside
                 {true, false, ReadAndExecute, "S-1-15-2-1"}};
    return a;
}

ObjectAccess DownloadsFolder() {
    ObjectAccess a;
    a.Known = true;
    a.OwnerSid = UserSid;
    a.Entries = {{true, false, FullControl, "S-1-5-18"},
                 {true, false, FullControl, "S-1-5-32-544"},
                 {true, false, FullControl, UserSid}};
    return a;
}

TEST(HelperTrustRule, AnAdministratorsInstallCannotBeChangedByOthers) {
    EXPECT_FALSE(NonAdministratorMayChange(ProgramFilesFolder()));
    EXPECT_TRUE(NonAdministratorMayChange(DownloadsFolder()));
    // Owned by SYSTEM or TrustedInstaller is as good as by the Administrators group.
    for (const char* owner : {"S-1-5-18", TrustedInstaller}) {
        ObjectAccess a = ProgramFilesFolder();
        a.OwnerSid = owner;
        EXPECT_FALSE(NonAdministratorMayChange(a)) << owner;
    }
}

TEST(HelperTrustRule, AnyRightThatChangesContentForAnyoneElseMakesItChangeable) {
    // Each right on its own, granted to the Users group.
    for (const std::uint32_t right : {0x2u, 0x4u, 0x40u, 0x10000u, 0x40000u, 0x80000u, 0x10000000u, 0x40000000u}) {
        ObjectAccess a = ProgramFilesFolder();
        a.Entries.push_back({true, false, right, UsersSid});
        EXPECT_TRUE(NonAdministratorMayChange(a)) << std::hex << right;
    }
    ObjectAccess modify = ProgramFilesFolder();
    modify.Entries.push_back({true, false, Modify, AuthenticatedUsersSid});
    EXPECT_TRUE(NonAdministratorMayChange(modify));
    // Reading, running, and changing only attributes or extended attributes swap nothing.
    ObjectAccess harmless = ProgramFilesFolder();
    harmless.Entries.push_back({true, false, ReadAndExecute | 0x100u | 0x10u, UserSid});
    EXPECT_FALSE(NonAdministratorMayChange(harmless));
}

TEST(HelperTrustRule, WhatDoesNotApplyToTheObjectIsNotWeighedAndWhatIsUnknownIsChangeable) {
    // A grant for what will be created inside, not for the folder itself.
    ObjectAccess inheritOnly = ProgramFilesFolder();
    inheritOnly.Entries.push_back({true, true, Modify, UsersSid});
    EXPECT_FALSE(NonAdministratorMayChange(inheritOnly));
    // A deny entry never makes an object changeable; it is not trusted to protect one either.
    ObjectAccess denied = DownloadsFolder();
    denied.Entries.insert(denied.Entries.begin(), AccessEntry{false, false, Modify, UserSid});
    EXPECT_TRUE(NonAdministratorMayChange(denied));
    ObjectAccess deniedOnly = ProgramFilesFolder();
    deniedOnly.Entries.push_back({false, false, FullControl, UsersSid});
    EXPECT_FALSE(NonAdministratorMayChange(deniedOnly));
    // OWNER RIGHTS stands for the owner: harmless when an administrator owns it.
    ObjectAccess ownerRights = ProgramFilesFolder();
    ownerRights.Entries.push_back({true, false, FullControl, "S-1-3-4"});
    EXPECT_FALSE(NonAdministratorMayChange(ownerRights));
    ownerRights.OwnerSid = UserSid;
    EXPECT_TRUE(NonAdministratorMayChange(ownerRights));
    // A user who owns it may rewrite its permissions, whatever they say now.
    ObjectAccess owned = ProgramFilesFolder();
    owned.OwnerSid = UserSid;
    EXPECT_TRUE(NonAdministratorMayChange(owned));
    // No access list at all, or one Windows would not give.
    ObjectAccess open = ProgramFilesFolder();
    open.NullDacl = true;
    EXPECT_TRUE(NonAdministratorMayChange(open));
    EXPECT_TRUE(NonAdministratorMayChange(ObjectAccess{}));
}

TEST(HelperTrustRule, AStandardUserIsNeverAskedToElevateAHelperOthersCanChange) {
    const ObjectAccess installed = ProgramFilesFolder();
    const ObjectAccess unpacked = DownloadsFolder();
    // An administrator's own folder at the root of C:, which passes on the root's grant to
    // Authenticated Users to change what is created below it.
    ObjectAccess usersMayWrite = ProgramFilesFolder();
    usersMayWrite.Entries.push_back({true, false, Modify, AuthenticatedUsersSid});
    struct Case {
        ObjectAccess File, Folder;
        DesktopUser User;
        bool Elevate;
    };
    const Case cases[] = {
        // Installed: elevated for anyone.
        {installed, installed, DesktopUser::Administrator, true},
        {installed, installed, DesktopUser::Standard, true},
        {installed, installed, DesktopUser::Unknown, true},
        // Unpacked where the user can write: only an administrator's own consent.
        {unpacked, unpacked, DesktopUser::Administrator, true},
        {unpacked, unpacked, DesktopUser::Standard, false},
        {unpacked, unpacked, DesktopUser::Unknown, false},
        // The file alone, or the folder alone, is enough to swap the program.
        {unpacked, installed, DesktopUser::Standard, false},
        {installed, unpacked, DesktopUser::Standard, false},
        {installed, unpacked, DesktopUser::Administrator, true},
        {installed, usersMayWrite, DesktopUser::Standard, false},
        {installed, usersMayWrite, DesktopUser::Administrator, true},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        const ElevationVerdict v = JudgeHelperElevation(cases[i].File, cases[i].Folder, cases[i].User);
        EXPECT_EQ(v.Elevate, cases[i].Elevate);
        if (v.Elevate) {
            EXPECT_EQ(v.Problem, "");
        } else {
            EXPECT_NE(v.Problem.find("Install Quenfall with its Windows installer"), std::string::npos) << v.Problem;
        }
    }
}

}  // namespace
}  // namespace quenfall
