#include "platform/windows/history_owner_rule.h"

namespace quenfall {

bool HistoryOwnerAccepted(const HistoryOwnerFacts& facts) {
    if (!facts.OwnersKept) return true;
    if (facts.OwnerSid.empty()) return false;
    return facts.OwnerSid == facts.UserSid || facts.OwnerSid == facts.DefaultOwnerSid;
}

std::string HistoryOwnerRefusal(std::string_view file, const HistoryOwnerFacts& facts, std::string_view ownerName) {
    std::string problem(file);
    if (facts.OwnerSid.empty()) {
        problem += ": its owner cannot be read";
    } else {
        problem += " is owned by another account (";
        if (!ownerName.empty()) problem.append(ownerName).append(", ");
        problem += facts.OwnerSid;
        problem += ")";
    }
    return problem + ": a history is only kept in a file of one's own";
}

}  // namespace quenfall
