// A crate of emulated radios upgraded at once, one run per radio, each run following its
// radio by location through the restart into boot mode while the radios trade device
// names. Virtual time: every run has its own timers, all advanced in step.
#include <gtest/gtest.h>

#include <memory>

#include "platform/drive_location.h"
#include "platform/located_device_link.h"
#include "emulator/emulated_crate.h"
#include "upgrade/device_watch.h"
#include "upgrade/status_texts.h"
#include "upgrade/upgrade_sequencer.h"
#include "upgrade/virtual_clock.h"
#include "run_rig.h"
#include "upgrade_fakes.h"

namespace quenfall::test {
namespace {

using std::chrono::milliseconds;

const std::string Entering(EnteringBootModeText);
const std::string Upgrading(UpgradingText);
const std::string Complete(UpgradeCompleteText);
const std::string CommError(CommunicationErrorText);
const std::string Failed(UpgradeFailedText);

PackageSpec TwoSections() {
    PackageSpec spec;
    spec.ModelCode = 2;
    spec.ScrambleMode = 1;
    spec.Sections.push_back({0, 0, Pattern(9000, 4)});
    spec.Sections.push_back({3, 3, Pattern(2500, 5)});
    return spec;
}

struct FrameCounter : DialogueTrace {
    void FrameWritten(std::span<const std::uint8_t>) override { ++Frames; }
    void AnswerAccepted(std::span<const std::uint8_t>) override {}
    std::uint32_t Frames = 0;
};

// One radio's run, as quenfall-cli flash --all wires it on its own thread.
struct RadioRun {
    RadioRun(EmulatedCrate& crate, const RadioDrive& drive)
        : link(crate.Connect(), drive),
          sequencer(link, view, clock),
          watch(link, view, clock, sequencer),
          usbEvents(crate.UsbEventCounter(drive.Location)) {
        clock.SetDispatch(TimerDispatch(sequencer, watch));
        sequencer.SetTrace(&frames);
    }
    bool Active() const {
        return !test::RunEnded(clock, sequencer);
    }

    VirtualClock clock;
    RecordView view;
    LocatedDeviceLink link;
    UpgradeSequencer sequencer;
    DeviceWatch watch;
    std::function<int()> usbEvents;
    FrameCounter frames;
};

struct CrateRig {
    // Radio i comes back from its restart restartSpread x i earlier than radio i - 1, so the
    // last radio is back first and takes the lowest free name.
    CrateRig(const Package& package, std::size_t radios, milliseconds restartSpread = milliseconds(300),
             EmulatedCrate::DiskNaming naming = KernelDiskName) {
        std::vector<EmulatedRadioConfig> configs(radios);
        for (std::size_t i = 0; i < radios; ++i) {
            configs[i].Selection = package.Selection;
            configs[i].Now = [this] { return now; };
            configs[i].RestartTime = milliseconds(1500) + restartSpread * static_cast<int>(radios - 1 - i);
        }
        crate = std::make_unique<EmulatedCrate>(std::move(configs), std::move(naming));
        start = crate->Drives();
        for (const RadioDrive& d : start) runs.push_back(std::make_unique<RadioRun>(*crate, d));
    }

    void StartAll(const std::shared_ptr<const Package>& package) {
        for (auto& run : runs) run->sequencer.Button2Click(package);
    }
    // Ten milliseconds at a time for every run, USB events delivered after each step.
    bool RunToEnd(milliseconds limit = std::chrono::minutes(5)) {
        while (now < limit) {
            bool active = false;
            for (auto& run : runs) active = active || run->Active();
            if (!active) return true;
            now += TickInterval;
            for (auto& run : runs) {
                run->clock.RunFor(TickInterval);
                for (int n = run->usbEvents(); n > 0; --n) run->watch.OnUsbDeviceChanged();
            }
        }
        return false;
    }

    milliseconds now{0};
    std::unique_ptr<EmulatedCrate> crate;
    std::vector<RadioDrive> start;
    std::vector<std::unique_ptr<RadioRun>> runs;
};

TEST(CrateRun, RadiosComingBackUnderEachOthersNamesEachGetTheirOwnUpgrade) {
    const auto package = MakePackage(TwoSections());
    CrateRig rig(*package, 3);
    ASSERT_EQ(rig.start.size(), 3u);
    EXPECT_EQ(rig.start[0].Node, "/dev/sda");
    EXPECT_EQ(rig.start[2].Location, "1-1.3");
    rig.StartAll(package);
    ASSERT_TRUE(rig.RunToEnd());

    // The last radio came back first and now carries the first radio's old name: opening
    // "the radio at /dev/sda" after the restart would have reached the wrong radio.
    EXPECT_EQ(rig.crate->NodesOf(0), (std::vector<std::string>{"/dev/sda", "/dev/sdc"}));
    EXPECT_EQ(rig.crate->NodesOf(2), (std::vector<std::string>{"/dev/sdc", "/dev/sda"}));

    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const RadioRun& run = *rig.runs[i];
        const EmulatedRadio& radio = rig.crate->Radio(i);
        ASSERT_FALSE(run.view.Texts.empty());
        EXPECT_EQ(run.view.Texts.front(), Entering);
        EXPECT_EQ(run.view.Texts.back(), Complete);
        EXPECT_EQ(radio.Restarts(), 1u);
        EXPECT_EQ(radio.ExitsAnswered(), 1u);
        EXPECT_TRUE(radio.Violations().empty()) << ::testing::PrintToString(radio.Violations());
        EXPECT_TRUE(radio.CompareSections(SectionsOf(*package)).empty());
        // Every frame this run wrote reached this radio, and no other frame did.
        EXPECT_EQ(radio.Writes(), run.frames.Frames);
        EXPECT_EQ(run.link.LastNode(), rig.crate->NodesOf(i).back());
        EXPECT_EQ(radio.OpenChannels(), 0u);
    }
}

// Named as Windows names removable drives: the letters are traded through the restarts as the
// kernel's names are, and the runs still follow their radios by port.
TEST(CrateRun, DriveLettersTradedThroughTheRestartsStillReachEachRadioAlone) {
    const auto package = MakePackage(TwoSections());
    CrateRig rig(*package, 3, milliseconds(300), DriveLetterName);
    ASSERT_EQ(rig.start.size(), 3u);
    std::vector<std::string> nodes;
    for (const RadioDrive& d : rig.start) nodes.push_back(d.Node);
    EXPECT_EQ(nodes, (std::vector<std::string>{"\\\\.\\E:", "\\\\.\\F:", "\\\\.\\G:"}));
    rig.StartAll(package);
    ASSERT_TRUE(rig.RunToEnd());

    EXPECT_EQ(rig.crate->NodesOf(0), (std::vector<std::string>{"\\\\.\\E:", "\\\\.\\G:"}));
    EXPECT_EQ(rig.crate->NodesOf(2), (std::vector<std::string>{"\\\\.\\G:", "\\\\.\\E:"}));
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const EmulatedRadio& radio = rig.crate->Radio(i);
        EXPECT_EQ(rig.runs[i]->view.Texts.back(), Complete);
        EXPECT_TRUE(radio.Violations().empty()) << ::testing::PrintToString(radio.Violations());
        EXPECT_TRUE(radio.CompareSections(SectionsOf(*package)).empty());
        EXPECT_EQ(radio.Writes(), rig.runs[i]->frames.Frames);
    }
}

TEST(CrateRun, ARadioLostMidUploadFailsAloneAndTheOthersComplete) {
    const auto package = MakePackage(TwoSections());
    CrateRig rig(*package, 4);
    rig.crate->Radio(1).SetDisappearAtBlock(3);
    rig.StartAll(package);
    ASSERT_TRUE(rig.RunToEnd());

    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const RadioRun& run = *rig.runs[i];
        const EmulatedRadio& radio = rig.crate->Radio(i);
        EXPECT_TRUE(radio.Violations().empty()) << ::testing::PrintToString(radio.Violations());
        EXPECT_EQ(radio.Writes(), run.frames.Frames);
        if (i == 1) {
            // Its own watch reports the loss; the block's answer window then ends the run.
            EXPECT_EQ(run.view.Texts.back(), CommError);
            EXPECT_NE(std::find(run.view.Texts.begin(), run.view.Texts.end(), Failed), run.view.Texts.end());
            EXPECT_FALSE(radio.Present());
        } else {
            EXPECT_EQ(run.view.Texts.back(), Complete);
            EXPECT_EQ(std::find(run.view.Texts.begin(), run.view.Texts.end(), Failed), run.view.Texts.end());
            EXPECT_TRUE(radio.CompareSections(SectionsOf(*package)).empty());
        }
    }
}

TEST(CrateRun, ARunWhoseRadioIsGoneAndAnotherHasItsNameWaitsInsteadOfTakingIt) {
    const auto package = MakePackage(TwoSections());
    // Radio 0 does not come back; radio 1 does and takes /dev/sda.
    CrateRig rig(*package, 2);
    rig.crate->Radio(0).SetReturnsAfterRestart(false);
    rig.StartAll(package);
    rig.RunToEnd(milliseconds(30000));

    EXPECT_EQ(rig.crate->NodesOf(1), (std::vector<std::string>{"/dev/sdb", "/dev/sda"}));
    EXPECT_EQ(rig.runs[1]->view.Texts.back(), Complete);
    // The first run is still waiting for its radio: it never opened the other one.
    EXPECT_TRUE(rig.runs[0]->clock.IsOn(TimerId::EnterModeSure));
    EXPECT_EQ(rig.crate->Radio(0).Writes(), rig.runs[0]->frames.Frames);
    EXPECT_EQ(rig.crate->Radio(1).Writes(), rig.runs[1]->frames.Frames);
    EXPECT_TRUE(rig.crate->Radio(1).Violations().empty());
}

}  // namespace
}  // namespace quenfall::test
