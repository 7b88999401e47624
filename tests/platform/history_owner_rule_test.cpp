// Whose history file a Windows process takes as its own, over owners and tokens as Windows
// reports them for a standard user, an administrator unelevated and elevated.
#include <gtest/gtest.h>

#include <string>

#include "platform/windows/history_owner_rule.h"

namespace quenfall {
namespace {

constexpr const char* Alice = "S-1-5-21-1004336348-1177238915-682003330-1001";
constexpr const char* Bob = "S-1-5-21-1004336348-1177238915-682003330-1002";
constexpr const char* Administrators = "S-1-5-32-544";
constexpr const char* System = "S-1-5-18";

HistoryOwnerFacts Token(const char* user, const char* defaultOwner, const char* owner) {
    HistoryOwnerFacts facts;
    facts.UserSid = user;
    facts.DefaultOwnerSid = defaultOwner;
    facts.OwnerSid = owner;
    return facts;
}

TEST(HistoryOwnerRule, TheFileIsOnesOwnWhenItsOwnerIsTheTokensUserOrTheOwnerTheTokenGivesNewFiles) {
    // A standard user, and an administrator unelevated: new files are the user's.
    EXPECT_TRUE(HistoryOwnerAccepted(Token(Alice, Alice, Alice)));
    // Elevated: new files belong to Administrators, and the user's older ones stay readable.
    EXPECT_TRUE(HistoryOwnerAccepted(Token(Alice, Administrators, Administrators)));
    EXPECT_TRUE(HistoryOwnerAccepted(Token(Alice, Administrators, Alice)));

    // Everyone else's: another user's, and the elevated session's file seen unelevated.
    EXPECT_FALSE(HistoryOwnerAccepted(Token(Alice, Alice, Bob)));
    EXPECT_FALSE(HistoryOwnerAccepted(Token(Alice, Alice, Administrators)));
    EXPECT_FALSE(HistoryOwnerAccepted(Token(Alice, Administrators, System)));
    EXPECT_FALSE(HistoryOwnerAccepted(Token(Alice, Alice, ""))) << "an owner that cannot be read";
    EXPECT_FALSE(HistoryOwnerAccepted(Token("", "", ""))) << "nothing known matches nothing";
    EXPECT_FALSE(HistoryOwnerAccepted(Token(Alice, Alice, "S-1-5-21-1004336348-1177238915-682003330-100")))
        << "a SID that begins as the user's is another";

    // A volume that keeps no owners has none to refuse.
    HistoryOwnerFacts fat = Token(Alice, Alice, "");
    fat.OwnersKept = false;
    EXPECT_TRUE(HistoryOwnerAccepted(fat));
}

TEST(HistoryOwnerRule, ARefusalNamesTheOwnerAsAnotherAccount) {
    EXPECT_EQ(HistoryOwnerRefusal("C:\\Users\\alice\\h.jsonl", Token(Alice, Alice, Administrators), "BUILTIN\\Administrators"),
              "C:\\Users\\alice\\h.jsonl is owned by another account (BUILTIN\\Administrators, S-1-5-32-544): a history "
              "is only kept in a file of one's own");
    EXPECT_EQ(HistoryOwnerRefusal("h.jsonl", Token(Alice, Alice, Bob), ""),
              std::string("h.jsonl is owned by another account (") + Bob +
                  "): a history is only kept in a file of one's own")
        << "an account the system cannot name: its SID alone";
    EXPECT_EQ(HistoryOwnerRefusal("h.jsonl", Token(Alice, Alice, ""), ""),
              "h.jsonl: its owner cannot be read: a history is only kept in a file of one's own");
}

}  // namespace
}  // namespace quenfall
