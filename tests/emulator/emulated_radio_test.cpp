// The emulated radio is the oracle of every upgrade test, so these tests drive it by hand
// with frames built byte by byte or by the request builders, and check what it answers,
// keeps and complains about.
#include "emulator/emulated_radio.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

#include "package/package_loader.h"
#include "package/package_writer.h"
#include "protocol/command_frame.h"
#include "protocol/scrambler.h"

namespace quenfall {
namespace {

using namespace std::chrono_literals;
using Answer = std::array<std::uint8_t, 9>;

ProfileSelection Profile0(std::uint8_t scrambleMode) {
    ProfileSelection s;
    s.ProfileIndex = 0;
    s.ScrambleMode = scrambleMode;
    return s;
}

std::vector<std::uint8_t> Pattern(std::size_t size, std::uint8_t seed) {
    std::vector<std::uint8_t> v(size);
    for (std::size_t i = 0; i < size; ++i) v[i] = static_cast<std::uint8_t>(seed + i * 7 + i / 256);
    return v;
}

class RadioTest : public ::testing::Test {
protected:
    void Make(ProfileSelection selection, bool restartOnEnter = true) {
        EmulatedRadioConfig config;
        config.Selection = selection;
        config.Now = [this] { return now_; };
        config.RestartOnEnter = restartOnEnter;
        Make(config);
    }
    void Make(EmulatedRadioConfig config) {
        selection_ = config.Selection;
        if (!config.Now) config.Now = [this] { return now_; };
        radio_ = std::make_unique<EmulatedRadio>(std::move(config));
        Open();
    }
    void Open() {
        ASSERT_EQ(radio_->ScanDrives(), 1);
        OpenResult r = radio_->OpenDevice();
        ASSERT_EQ(r.Failure, OpenFailure::None);
        channel_ = std::move(r.Channel);
    }
    void Write(std::span<const std::uint8_t> bytes) { channel_->ScsiWrite(bytes); }
    // A plain frame, scrambled here as the tool would send it.
    void WritePlain(std::vector<std::uint8_t> plain) {
        Scrambler(selection_, plain);
        Write(plain);
    }
    Answer Read() {
        Answer a;
        a.fill(0xEE);
        channel_->ScsiRead(a);
        return a;
    }
    void SendEnter(std::vector<std::uint8_t> ids) {
        FrameBuffer f;
        const auto n = EnterRequest(f, selection_, static_cast<std::uint8_t>(ids.size()), ids);
        Write(std::span<const std::uint8_t>(f.data(), n));
    }
    void SendEnterCount(std::uint8_t count, std::vector<std::uint8_t> ids) {
        FrameBuffer f;
        const auto n = EnterRequest(f, selection_, count, ids);
        Write(std::span<const std::uint8_t>(f.data(), n));
    }
    void SendBlock(std::uint8_t id, std::span<const std::uint8_t> data, std::uint16_t index,
                   std::uint32_t size) {
        FrameBuffer f;
        const auto n = BlockRequest(f, selection_, id, data, index, size);
        Write(std::span<const std::uint8_t>(f.data(), n));
    }
    void SendExit() {
        FrameBuffer f;
        const auto n = ExitRequest(f, selection_);
        Write(std::span<const std::uint8_t>(f.data(), n));
    }
    bool Valid(const Answer& a, CommandKind kind) {
        return ValidateResponse(a, ResponseCode(selection_, kind), 9);
    }
    // Puts a radio that restarts into boot mode through the restart, reopened.
    void IntoBootMode(std::vector<std::uint8_t> ids) {
        SendEnter(ids);
        ASSERT_EQ(Read()[5], StatusRestarting);
        now_ += 2000ms;
        Open();
        SendEnterCount(0, {});
        ASSERT_EQ(Read()[5], StatusInBootMode);
    }
    void SendSection(std::uint8_t id, const std::vector<std::uint8_t>& data, std::uint32_t first = 0) {
        const std::uint32_t blocks = static_cast<std::uint32_t>((data.size() + 2047) / 2048);
        for (std::uint32_t b = first; b < std::max(blocks, first + 1); ++b) {
            SendBlock(id, data, static_cast<std::uint16_t>(b), static_cast<std::uint32_t>(data.size()));
            ASSERT_TRUE(Valid(Read(), CommandKind::Block)) << "block " << b;
        }
    }

    std::chrono::milliseconds now_{0};
    ProfileSelection selection_;
    std::unique_ptr<EmulatedRadio> radio_;
    std::unique_ptr<DeviceChannel> channel_;
};

// --- Frames -----------------------------------------------------------------------------

TEST_F(RadioTest, ReadsZerosUntilAnAnswerThenThePlainAnswerOfTheWorkedExample) {
    Make(Profile0(1), /*restartOnEnter=*/false);
    EXPECT_EQ(Read(), Answer{});
    SendEnter({0, 1});
    const Answer expected = {0xA1, 0x80, 0x43, 0x00, 0x01, 0x04, 0x00, 0x04, 0xA4};
    EXPECT_EQ(Read(), expected);
    EXPECT_EQ(Read(), expected) << "the answer stays until the next request";
    EXPECT_TRUE(radio_->Violations().empty());
    ASSERT_EQ(radio_->FrameLog().size(), 1u);
    const std::vector<std::uint8_t> plain = {0xA1, 0x00, 0x43, 0x00, 0x04, 0x02, 0x00,
                                             0x01, 0xFF, 0x01, 0x02, 0xA4};
    EXPECT_EQ(radio_->FrameLog()[0], plain) << "the log holds frames descrambled";
    EXPECT_EQ(radio_->AnnouncedIds(), (std::vector<std::uint8_t>{0, 1}));
    EXPECT_EQ(radio_->Reads(), 3u);
    EXPECT_EQ(radio_->Writes(), 1u);
}

TEST_F(RadioTest, BankOneAndVariantOneCodesAreAnsweredWithTheirResponseCodes) {
    ProfileSelection s;
    s.ProfileIndex = 12;
    s.ScrambleMode = 1;
    s.CodeBank = 1;
    s.RequestVariant = 1;
    Make(s, false);
    SendEnter({2});
    const Answer a = Read();
    EXPECT_EQ(a[1], 0x82);
    EXPECT_EQ(a[2], 0x4B);
    EXPECT_TRUE(Valid(a, CommandKind::EnterB));
    EXPECT_TRUE(radio_->Violations().empty());
}

TEST_F(RadioTest, BadFramesAreRecordedAndLeftUnanswered) {
    Make(Profile0(1), false);
    const std::vector<std::vector<std::uint8_t>> bad = {
        {0xA0, 0x00, 0x43, 0x00, 0x02, 0x00, 0xFF, 0x00, 0xFF, 0xA4},  // start marker
        {0xA1, 0x00, 0x43, 0x00, 0x02, 0x00, 0xFF, 0x00, 0xFE, 0xA4},  // check sum
        {0xA1, 0x00, 0x43, 0x00, 0x02, 0x00, 0xFF, 0x00, 0xFF, 0xA5},  // end marker
        {0xA1, 0x00, 0x43, 0x00, 0x03, 0x00, 0xFF, 0x00, 0xFF, 0xA4},  // length field
        {0xA1, 0x00, 0x43, 0x00},                                      // too short
        {0xA1, 0x00, 0x45, 0x00, 0x02, 0x00, 0xFF, 0x00, 0xFF, 0xA4},  // EnterB under variant 0
        {0xA1, 0x30, 0x43, 0x00, 0x02, 0x00, 0xFF, 0x00, 0xFF, 0xA4},  // another model's prefix
        {0xA1, 0x00, 0x43, 0x00, 0x02, 0x01, 0xFF, 0x01, 0x00, 0xA4},  // count 1, no id
        {0xA1, 0x00, 0x43, 0x00, 0x03, 0x01, 0x0C, 0xFF, 0x01, 0x0C, 0xA4},  // id 12
        {0xA1, 0x00, 0x43, 0x00, 0x03, 0x01, 0x00, 0xFE, 0x00, 0xFF, 0xA4},  // no FF
        {0xA1, 0x00, 0x44, 0x00, 0x01, 0x00, 0x00, 0x00, 0xA4},              // exit with payload
    };
    for (const auto& frame : bad) {
        WritePlain(frame);
        EXPECT_EQ(Read(), Answer{}) << "frame " << &frame - bad.data();
    }
    ASSERT_EQ(radio_->Violations().size(), bad.size());
    EXPECT_NE(radio_->Violations()[0].find("start marker"), std::string::npos);
    EXPECT_NE(radio_->Violations()[1].find("check sum"), std::string::npos);
    EXPECT_NE(radio_->Violations()[2].find("end marker"), std::string::npos);
    EXPECT_NE(radio_->Violations()[5].find("unknown command code 0x0045"), std::string::npos);
    EXPECT_NE(radio_->Violations()[8].find("section id 12"), std::string::npos);
    EXPECT_EQ(radio_->Violations()[0].rfind("request 1: ", 0), 0u);
}

TEST_F(RadioTest, AFrameScrambledWithAnotherKeyIsABadFrame) {
    Make(Profile0(1), false);
    FrameBuffer f;
    const auto n = EnterRequest(f, Profile0(0), 1, std::vector<std::uint8_t>{0});  // T0, not T11
    Write(std::span<const std::uint8_t>(f.data(), n));
    EXPECT_EQ(Read(), Answer{});
    ASSERT_EQ(radio_->Violations().size(), 1u);
    EXPECT_NE(radio_->Violations()[0].find("bad frame"), std::string::npos);
}

TEST_F(RadioTest, AFaultyFrameClearsTheEarlierAnswer) {
    Make(Profile0(1), false);
    SendEnter({0});
    EXPECT_TRUE(Valid(Read(), CommandKind::EnterA));
    WritePlain({0xA1, 0x00});
    EXPECT_EQ(Read(), Answer{});
}

// --- Boot mode, restart and reset ------------------------------------------------------

TEST_F(RadioTest, RestartsIntoBootModeAfterItsStatusThreeIsRead) {
    Make(Profile0(1));
    std::vector<bool> presence;
    radio_->SetPresenceCallback([&](bool p) { presence.push_back(p); });
    SendEnter({0, 2});
    EXPECT_TRUE(radio_->Present()) << "it stays until its answer has been read";
    const Answer a = Read();
    EXPECT_TRUE(Valid(a, CommandKind::EnterA));
    EXPECT_EQ(a[5], StatusRestarting);

    EXPECT_FALSE(radio_->Present());
    EXPECT_EQ(Read(), Answer{}) << "the old channel is dead";
    EXPECT_EQ(radio_->ScanDrives(), 0);
    EXPECT_EQ(radio_->OpenDevice().Failure, OpenFailure::NoRadio);
    EXPECT_EQ(radio_->ReturnTime(), std::optional(2000ms));

    now_ = 1999ms;
    EXPECT_EQ(radio_->ScanDrives(), 0);
    now_ = 2000ms;
    EXPECT_EQ(radio_->ScanDrives(), 1);
    EXPECT_TRUE(radio_->InBootMode());
    EXPECT_EQ(presence, (std::vector<bool>{false, true}));
    EXPECT_EQ(Read(), Answer{}) << "a channel of the earlier life stays dead";

    Open();
    SendEnterCount(0, {});  // a fresh tool re-sends its cursor, 0
    const Answer b = Read();
    EXPECT_EQ(b[5], StatusInBootMode);
    EXPECT_EQ(radio_->AnnouncedIds(), (std::vector<std::uint8_t>{0, 2})) << "kept across the restart";
    EXPECT_EQ(radio_->Restarts(), 1u);
    EXPECT_TRUE(radio_->Violations().empty());
}

// A tool whose last run uploaded more sections than this package has re-sends its enter
// request after the restart with that larger count; the ids behind the list are zeros.
TEST_F(RadioTest, EnterRequestsAfterTheRestartKeepTheAnnouncementWhateverTheirCount) {
    Make(Profile0(1));
    SendEnter({3});
    ASSERT_EQ(Read()[5], StatusRestarting);
    now_ += 2000ms;
    Open();
    SendEnterCount(2, {3});
    EXPECT_EQ(Read()[5], StatusInBootMode);
    EXPECT_EQ(radio_->AnnouncedIds(), (std::vector<std::uint8_t>{3}));
    SendSection(3, Pattern(100, 1));
    SendExit();
    EXPECT_TRUE(Valid(Read(), CommandKind::Exit));
    EXPECT_TRUE(radio_->Violations().empty()) << radio_->Violations()[0];

    // Once blocks have come, a new run's enter request announces anew.
    Make(Profile0(1));
    IntoBootMode({1});
    SendSection(1, Pattern(100, 1));
    SendEnter({2, 4});
    EXPECT_EQ(Read()[5], StatusInBootMode);
    EXPECT_EQ(radio_->AnnouncedIds(), (std::vector<std::uint8_t>{2, 4}));
}

TEST_F(RadioTest, OpenFailsWhenTheRadioLeftAfterTheScan) {
    Make(Profile0(1));
    SendEnter({0});
    ASSERT_EQ(radio_->ScanDrives(), 1);
    Read();  // status 3: gone
    EXPECT_EQ(radio_->OpenDevice().Failure, OpenFailure::CannotOpen);
}

TEST_F(RadioTest, NeverComesBackWhenToldSo) {
    Make(Profile0(1));
    radio_->SetReturnsAfterRestart(false);
    SendEnter({0});
    Read();
    now_ += 3600s;
    radio_->Advance();
    EXPECT_FALSE(radio_->Present());
    EXPECT_EQ(radio_->ScanDrives(), 0);
    EXPECT_FALSE(radio_->ReturnTime().has_value());
}

TEST_F(RadioTest, ARadioAlreadyInBootModeAnswersFourAtOnce) {
    EmulatedRadioConfig c;
    c.Selection = Profile0(1);
    c.StartsInBootMode = true;
    Make(c);
    SendEnter({1});
    EXPECT_EQ(Read()[5], StatusInBootMode);
    EXPECT_TRUE(radio_->Present());
}

TEST_F(RadioTest, WholeUploadKeepsEverySectionAndResetsAfterTheExitAnswer) {
    EmulatedRadioConfig c;
    c.Selection = Profile0(1);
    c.LeavesAfterExit = true;
    c.ResetTime = 500ms;
    Make(c);
    const auto s0 = Pattern(5000, 3);
    const auto s2 = Pattern(2048, 9);
    IntoBootMode({0, 2});
    SendSection(0, s0);
    SendSection(2, s2);
    SendExit();
    EXPECT_TRUE(Valid(Read(), CommandKind::Exit));
    EXPECT_FALSE(radio_->Present()) << "it resets once the exit answer is read";
    EXPECT_FALSE(radio_->InBootMode());
    now_ += 500ms;
    EXPECT_EQ(radio_->ScanDrives(), 1);
    EXPECT_FALSE(radio_->InBootMode());

    EXPECT_TRUE(radio_->Violations().empty()) << radio_->Violations()[0];
    EXPECT_EQ(radio_->ExitsAnswered(), 1u);
    ASSERT_EQ(radio_->Sections().size(), 2u);
    EXPECT_EQ(radio_->Sections().at(0).Bytes, s0) << "trimmed to the section size";
    EXPECT_TRUE(radio_->Sections().at(0).Complete);
    EXPECT_EQ(radio_->Sections().at(0).BlocksReceived, 3u);
    EXPECT_TRUE(radio_->CompareSections({{0, s0}, {2, s2}}).empty());

    const auto differences = radio_->CompareSections({{0, s2}, {2, s2}, {5, s2}});
    ASSERT_EQ(differences.size(), 2u);
    EXPECT_EQ(differences[0], "section 0 was received with size 5000, expected 2048");
    EXPECT_EQ(differences[1], "section 5 was not received");
}

TEST_F(RadioTest, SectionsOfALoadedPackageCompareEqualAfterTheirUpload) {
    PackageSpec spec;
    spec.ModelCode = 17;
    spec.ScrambleMode = 1;
    spec.Sections = {{0, 0, Pattern(3000, 1)}, {3, 3, Pattern(4096, 2)}};
    const LoadResult loaded = LoadPackageImage(WritePackage(spec));
    ASSERT_EQ(loaded.Verdict, LoadVerdict::Accepted);
    EmulatedRadioConfig c;
    c.Selection = loaded.Accepted->Selection;
    Make(c);
    IntoBootMode({0, 3});
    const auto expected = SectionsOf(*loaded.Accepted);
    for (const auto& [id, bytes] : expected) SendSection(id, bytes);
    SendExit();
    EXPECT_TRUE(Valid(Read(), CommandKind::Exit));
    EXPECT_TRUE(radio_->CompareSections(expected).empty());
    EXPECT_TRUE(radio_->Violations().empty());
    auto changed = expected;
    changed[3][4000] ^= 1;
    EXPECT_EQ(radio_->CompareSections(changed), std::vector<std::string>{"section 3 differs from byte 4000 on"});
}

// --- Block order and contents ----------------------------------------------------------

TEST_F(RadioTest, SectionZeroFirstUnderScrambleModeZeroStartsAtBlockFour) {
    Make(Profile0(0));
    const auto s0 = Pattern(20480, 5);
    IntoBootMode({0});
    SendSection(0, s0, 4);
    SendExit();
    EXPECT_TRUE(Valid(Read(), CommandKind::Exit));
    EXPECT_TRUE(radio_->Violations().empty());
    EXPECT_EQ(radio_->Sections().at(0).FirstBlock, 4u);
    EXPECT_EQ(radio_->Sections().at(0).BlocksReceived, 6u);
    EXPECT_TRUE(radio_->CompareSections({{0, s0}}).empty()) << "the left-out blocks are not compared";
}

TEST_F(RadioTest, AShortSectionZeroGetsOneBlockWhollyPastItsEnd) {
    Make(Profile0(0));
    IntoBootMode({0, 1});
    SendSection(0, Pattern(3000, 1), 4);
    SendSection(1, Pattern(100, 1));
    SendExit();
    EXPECT_TRUE(Valid(Read(), CommandKind::Exit));
    EXPECT_TRUE(radio_->Violations().empty()) << radio_->Violations()[0];
}

TEST_F(RadioTest, SectionZeroStartingAtBlockZeroUnderModeZeroIsOutOfOrder) {
    Make(Profile0(0));
    IntoBootMode({0});
    SendSection(0, Pattern(20480, 5));
    ASSERT_FALSE(radio_->Violations().empty());
    EXPECT_NE(radio_->Violations()[0].find("block 0 of section 0 out of order (block 4 was due)"),
              std::string::npos);
}

TEST_F(RadioTest, BlockOrderViolationsAreNamed) {
    Make(Profile0(1));
    const auto s = Pattern(3 * 2048, 1);
    IntoBootMode({1, 2});
    SendBlock(1, s, 0, 6144);
    Read();
    SendBlock(1, s, 0, 6144);  // twice
    Read();
    SendBlock(1, s, 2, 6144);  // skips block 1
    Read();
    SendBlock(1, s, 3, 6144);  // past the end
    Read();
    SendBlock(1, s, 1, 4096);  // another size
    Read();
    const auto& v = radio_->Violations();
    ASSERT_EQ(v.size(), 5u);
    EXPECT_NE(v[0].find("block 0 of section 1 sent twice"), std::string::npos);
    EXPECT_NE(v[1].find("block 2 of section 1 out of order (block 1 was due)"), std::string::npos);
    EXPECT_NE(v[2].find("block 3 of section 1 lies past the section's end (3 blocks)"), std::string::npos);
    EXPECT_NE(v[3].find("gives section size 4096, earlier blocks gave 6144"), std::string::npos);
    EXPECT_NE(v[4].find("block 1 of section 1 out of order (block 4 was due)"), std::string::npos);
}

TEST_F(RadioTest, SectionViolationsAreNamed) {
    Make(Profile0(1));
    IntoBootMode({1, 2, 3});
    const auto s = Pattern(4096, 1);
    SendBlock(2, s, 0, 4096);  // 2 before 1
    EXPECT_TRUE(Valid(Read(), CommandKind::Block)) << "a violation is still acknowledged";
    SendBlock(7, s, 0, 4096);  // never announced, 2 left incomplete
    Read();
    SendExit();
    EXPECT_TRUE(Valid(Read(), CommandKind::Exit));
    const auto& v = radio_->Violations();
    ASSERT_EQ(v.size(), 6u);
    EXPECT_NE(v[0].find("section 2 sent out of the announced order (section 1 was due)"), std::string::npos);
    EXPECT_NE(v[1].find("section 2 left after block 0 of 2"), std::string::npos);
    EXPECT_NE(v[2].find("section 7 was not announced"), std::string::npos);
    EXPECT_NE(v[3].find("section 1 never came"), std::string::npos);
    EXPECT_NE(v[4].find("section 2 is incomplete"), std::string::npos);
    EXPECT_NE(v[5].find("section 3 never came"), std::string::npos);
}

TEST_F(RadioTest, FillerThatIsNotZeroAndAWrongDataLengthAreNamed) {
    Make(Profile0(1));
    IntoBootMode({4});
    std::vector<std::uint8_t> plain(2065, 0);
    std::vector<std::uint8_t> payload(2057, 0);
    payload[0] = 4;
    payload[6] = 100;              // section size 100
    payload[7] = 0x04;             // data length 0x0400
    payload[9 + 100] = 0x55;       // a stale byte behind the section's end
    BuildFrame(plain, RequestCode(selection_, CommandKind::Block), payload);
    WritePlain(plain);
    EXPECT_TRUE(Valid(Read(), CommandKind::Block));
    const auto& v = radio_->Violations();
    ASSERT_EQ(v.size(), 2u);
    EXPECT_NE(v[0].find("data length 1024, not 2048"), std::string::npos);
    EXPECT_NE(v[1].find("filler bytes that are not zero"), std::string::npos);
}

TEST_F(RadioTest, BlocksAndExitOutsideBootModeAreRefused) {
    Make(Profile0(1));
    SendBlock(0, Pattern(10, 1), 0, 10);
    EXPECT_EQ(Read(), Answer{});
    SendExit();
    EXPECT_EQ(Read(), Answer{});
    ASSERT_EQ(radio_->Violations().size(), 2u);
    EXPECT_NE(radio_->Violations()[0].find("block request outside boot mode"), std::string::npos);
    EXPECT_NE(radio_->Violations()[1].find("exit request outside boot mode"), std::string::npos);
}

TEST_F(RadioTest, ANewRunInBootModeStartsAFreshUpload) {
    Make(Profile0(1));
    IntoBootMode({1});
    const auto s = Pattern(4096, 1);
    SendBlock(1, s, 0, 4096);
    Read();
    SendEnter({1});  // a second run while the radio is still in boot mode
    EXPECT_EQ(Read()[5], StatusInBootMode);
    SendSection(1, s);
    SendExit();
    EXPECT_TRUE(Valid(Read(), CommandKind::Exit));
    EXPECT_TRUE(radio_->Violations().empty()) << radio_->Violations()[0];
}

// --- Misbehaviour ----------------------------------------------------------------------

TEST_F(RadioTest, AnswersOnlyAfterNReads) {
    Make(Profile0(1), false);
    radio_->SetAnswerAfterReads(3);
    SendEnter({0});
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Read(), Answer{}) << i;
    EXPECT_TRUE(Valid(Read(), CommandKind::EnterA));
}

TEST_F(RadioTest, StaysSilentForTheNthRequestOrAKind) {
    Make(Profile0(1), false);
    radio_->SetSilent(RequestMatch::Nth(1));
    SendEnter({0});
    EXPECT_EQ(Read(), Answer{});
    SendEnter({0});
    EXPECT_TRUE(Valid(Read(), CommandKind::EnterA)) << "the re-send is request 2";

    radio_->SetSilent(RequestMatch::Every(RequestKind::Exit));
    SendBlock(0, Pattern(10, 1), 0, 10);
    EXPECT_TRUE(Valid(Read(), CommandKind::Block));
    SendExit();
    EXPECT_EQ(Read(), Answer{});
    SendExit();
    EXPECT_EQ(Read(), Answer{});
    EXPECT_TRUE(radio_->Violations().empty());
}

TEST_F(RadioTest, EachFaultyAnswerIsInvalidUntilTheRealOneComes) {
    const AnswerFault faults[] = {AnswerFault::WrongCode, AnswerFault::BadCheckSum,
                                  AnswerFault::MissingEndMarker, AnswerFault::Status0,
                                  AnswerFault::Status5};
    for (AnswerFault fault : faults) {
        Make(Profile0(1), false);
        radio_->SetFaultyAnswer(RequestMatch::Every(RequestKind::Enter), fault, 2);
        SendEnter({0});
        const Answer first = Read();
        EXPECT_NE(first, Answer{}) << static_cast<int>(fault);
        EXPECT_FALSE(Valid(first, CommandKind::EnterA)) << static_cast<int>(fault);
        EXPECT_FALSE(Valid(Read(), CommandKind::EnterA));
        EXPECT_TRUE(Valid(Read(), CommandKind::EnterA)) << static_cast<int>(fault);
    }
}

TEST_F(RadioTest, AFaultyAnswerForEverNeverValidates) {
    Make(Profile0(1));
    radio_->SetFaultyAnswer(RequestMatch::NthOf(1, RequestKind::Enter), AnswerFault::Status5);
    SendEnter({0});
    for (int i = 0; i < 50; ++i) EXPECT_FALSE(Valid(Read(), CommandKind::EnterA));
    EXPECT_TRUE(radio_->Present()) << "the restart waits for a real answer to be read";
    SendEnter({0});
    EXPECT_EQ(Read()[5], StatusRestarting);
}

TEST_F(RadioTest, AnswersOneOrTwoForAWhileBeforeTheRealAnswer) {
    Make(Profile0(1));
    radio_->SetInterimAnswers(RequestMatch::Every(RequestKind::Enter), 2, 3);
    SendEnter({0});
    for (int i = 0; i < 3; ++i) {
        const Answer a = Read();
        EXPECT_TRUE(Valid(a, CommandKind::EnterA));
        EXPECT_EQ(a[5], 2);
    }
    EXPECT_TRUE(radio_->Present());
    EXPECT_EQ(Read()[5], StatusRestarting);
    EXPECT_FALSE(radio_->Present());
}

TEST_F(RadioTest, DisappearsAtAChosenBlockAndComesBackInProgrammingMode) {
    Make(Profile0(1));
    radio_->SetDisappearAtBlock(1, 3000ms);
    IntoBootMode({1});
    const auto s = Pattern(3 * 2048, 1);
    SendBlock(1, s, 0, 6144);
    EXPECT_TRUE(Valid(Read(), CommandKind::Block));
    SendBlock(1, s, 1, 6144);
    EXPECT_EQ(Read(), Answer{});
    EXPECT_FALSE(radio_->Present());
    EXPECT_EQ(radio_->ScanDrives(), 0);
    now_ += 2999ms;
    EXPECT_EQ(radio_->ScanDrives(), 0);
    now_ += 1ms;
    EXPECT_EQ(radio_->ScanDrives(), 1);
    EXPECT_FALSE(radio_->InBootMode());
    EXPECT_EQ(radio_->Sections().at(1).BlocksReceived, 1u);
}

TEST_F(RadioTest, UnplugDropsEveryChannelUntilPluggedIn) {
    Make(Profile0(1), false);
    std::vector<bool> presence;
    radio_->SetPresenceCallback([&](bool p) { presence.push_back(p); });
    EXPECT_EQ(radio_->OpenChannels(), 1u);
    radio_->Unplug();
    SendEnter({0});
    EXPECT_EQ(Read(), Answer{});
    EXPECT_EQ(radio_->Writes(), 0u);
    EXPECT_EQ(radio_->ScanDrives(), 0);
    EXPECT_EQ(radio_->OpenDevice().Failure, OpenFailure::NoRadio);
    radio_->PlugIn();
    auto dead = std::move(channel_);
    Open();
    EXPECT_EQ(radio_->OpenChannels(), 2u) << "the dead channel is still held by the test";
    dead.reset();
    channel_.reset();
    EXPECT_EQ(radio_->OpenChannels(), 0u);
    EXPECT_EQ(presence, (std::vector<bool>{false, true}));
}

TEST_F(RadioTest, ChannelsOutliveTheRadio) {
    Make(Profile0(1), false);
    radio_.reset();
    SendEnter({0});
    EXPECT_TRUE(Valid(Read(), CommandKind::EnterA));
}

}  // namespace
}  // namespace quenfall
