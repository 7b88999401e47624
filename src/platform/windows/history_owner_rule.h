#pragma once
// Whose history file a process on Windows reads and appends to. As on Linux, where the file
// must belong to the effective user, a history is kept only in a file of one's own: another
// account's file could have been filled with records that pass for this user's, or be
// turned into one this user's records must not go to.
//
// Windows gives a new file the owner its creator's token names as the default owner: the
// user's account for a standard user or an unelevated administrator, the Administrators
// group for an elevated administrator. So the file is the process's own when its owner is
// the token's user or the token's default owner (the owner this very process gives the
// files it creates, the history included); any other owner refuses it. An elevated
// administrator's history is therefore refused when the same person reads it unelevated,
// as root's is on Linux. A volume that keeps no owners (FAT, exFAT) has none to check.
//
// Pure: the caller reads the SIDs (the opened handle's owner, the process token), so that
// the rule is tested on any system.
#include <string>
#include <string_view>

namespace quenfall {

struct HistoryOwnerFacts {
    bool OwnersKept = true;       // false: the volume keeps no owners (no persistent access lists)
    std::string OwnerSid;         // the file's owner, "S-1-5-21-..."; empty when it could not be read
    std::string UserSid;          // the process token's user
    std::string DefaultOwnerSid;  // the process token's default owner
};

bool HistoryOwnerAccepted(const HistoryOwnerFacts& facts);

// Why a history whose owner is not accepted is refused, in words: the file, and its owner
// as "owned by another account", with the account's name (ownerName, "DOMAIN\name") when
// the system could tell it, and its SID.
std::string HistoryOwnerRefusal(std::string_view file, const HistoryOwnerFacts& facts, std::string_view ownerName);

}  // namespace quenfall
