// The device watch's report: timing of the one-shot ConnectTimer and what it writes.
#include <gtest/gtest.h>

#include "upgrade/status_texts.h"
#include "upgrade_rig.h"

namespace quenfall::test {
namespace {

using std::chrono::milliseconds;

std::shared_ptr<const Package> SmallPackage() {
    PackageSpec spec;
    spec.ModelCode = 2;
    spec.ScrambleMode = 1;
    spec.Sections.push_back({0, 0, Pattern(6000, 1)});
    return MakePackage(spec);
}

TEST(DeviceWatch, BurstOfEventsGivesOneReportOneSecondAfterTheFirst) {
    const auto package = SmallPackage();
    Rig rig(package->Selection);
    rig.watch.OnUsbDeviceChanged();
    rig.clock.RunFor(milliseconds(300));
    rig.watch.OnUsbDeviceChanged();
    rig.clock.RunFor(milliseconds(600));
    rig.watch.OnUsbDeviceChanged();
    EXPECT_EQ(rig.link.Scans(), 3);  // each event rescans at once
    rig.clock.RunFor(milliseconds(99));
    EXPECT_TRUE(rig.view.Log.empty());
    rig.clock.RunFor(milliseconds(1));
    EXPECT_EQ(rig.view.Log, (std::vector<std::string>{"success:0", "failure:0", "text:" + std::string(DeviceConnectedText)}));
    EXPECT_EQ(rig.link.Scans(), 4);
    EXPECT_FALSE(rig.clock.IsOn(TimerId::Connect));
    rig.clock.RunFor(milliseconds(5000));
    EXPECT_EQ(rig.clock.Firings(TimerId::Connect), 1u);
    // After the report the next event starts a new wait.
    rig.watch.OnUsbDeviceChanged();
    const milliseconds event = rig.clock.Now();
    rig.clock.RunUntil([&] { return rig.clock.Firings(TimerId::Connect) == 2; }, milliseconds(2000));
    EXPECT_EQ(rig.clock.Now() - event, milliseconds(1000));
}

TEST(DeviceWatch, TheDisksLateArrivalCorrectsTheReportOfItsUsbDevice) {
    // On Linux the radio's USB device arrives first and its disk about a second later
    // (usb-storage's delay_use); the disk's arrival is an event of its own.
    const auto package = SmallPackage();
    Rig rig(package->Selection);
    rig.link.SetPresent(false);
    rig.watch.OnUsbDeviceChanged();  // the USB device
    rig.clock.RunFor(milliseconds(1000));
    EXPECT_EQ(rig.view.Log, (std::vector<std::string>{"text:" + std::string(NoDeviceText)}));
    rig.clock.RunFor(milliseconds(150));
    rig.link.SetPresent(true);
    rig.watch.OnUsbDeviceChanged();  // its disk
    rig.clock.RunFor(milliseconds(1000));
    EXPECT_EQ(rig.view.Log.back(), "text:" + std::string(DeviceConnectedText));
}

TEST(DeviceWatch, ReportWithoutRadio) {
    const auto package = SmallPackage();
    Rig rig(package->Selection);
    rig.link.SetPresent(false);
    rig.clock.SwitchOn(TimerId::Update);  // switched off by a report finding no radio
    rig.watch.ConnectTimerTimer();
    EXPECT_EQ(rig.view.Log, (std::vector<std::string>{"text:" + std::string(NoDeviceText)}));
    EXPECT_FALSE(rig.clock.IsOn(TimerId::Update));
}

TEST(DeviceWatch, FoundRadioHidesTheSuccessIconOfACompletedRun) {
    const auto package = SmallPackage();
    Rig rig(package->Selection);
    rig.sequencer.Button2Click(package);
    ASSERT_TRUE(rig.RunToEnd());
    ASSERT_TRUE(rig.view.SuccessIcon);
    rig.watch.OnUsbDeviceChanged();
    rig.clock.RunFor(milliseconds(1000));
    EXPECT_FALSE(rig.view.SuccessIcon);
    EXPECT_EQ(rig.view.Status, std::string(DeviceConnectedText));
}

TEST(DeviceWatch, ReportDuringCompletionMessageRewritesTheStatusLine) {
    const auto package = SmallPackage();
    Rig rig(package->Selection);
    // The radio resets after its exit answer; the box's loop goes on dispatching.
    rig.view.OnInfo = [&] {
        rig.link.SetPresent(false);
        rig.watch.OnUsbDeviceChanged();
        rig.clock.RunFor(milliseconds(1000));
    };
    rig.sequencer.Button2Click(package);
    ASSERT_TRUE(rig.RunToEnd());
    EXPECT_EQ(rig.view.Status, std::string(NoDeviceText));
    rig.ExpectEnded();
}

TEST(DeviceWatch, RadioPresentDuringUploadLeavesTheRunAlone) {
    const auto package = SmallPackage();
    Rig rig(package->Selection);
    rig.sequencer.Button2Click(package);
    rig.watch.OnUsbDeviceChanged();  // another USB device plugged in
    rig.clock.RunFor(milliseconds(30));
    ASSERT_TRUE(rig.sequencer.Busy());
    ASSERT_TRUE(rig.RunToEnd());
    EXPECT_EQ(rig.view.Status, std::string(UpgradeCompleteText));
    EXPECT_EQ(rig.link.FramesOf(CommandKind::Block).size(), 3u);
}

TEST(DeviceWatch, RadioAwayDuringRestartWaitShowsNoDeviceThenTheSequencerGoesOn) {
    const auto package = SmallPackage();
    Rig rig(package->Selection);
    int enters = 0;
    rig.link.SetScript([&](const SentFrame& f, std::size_t) {
        if (f.Kind != CommandKind::EnterA) return Reply::With(1);
        return enters++ == 0 ? Reply::With(3, 0, 1) : Reply::With(4);
    });
    rig.sequencer.Button2Click(package);
    rig.clock.RunTicks(1);
    rig.link.SetPresent(false);
    rig.watch.OnUsbDeviceChanged();
    rig.clock.RunFor(milliseconds(1000));
    EXPECT_EQ(rig.view.Status, std::string(NoDeviceText));
    EXPECT_FALSE(rig.sequencer.Busy());
    EXPECT_TRUE(rig.clock.IsOn(TimerId::EnterModeSure));
    rig.link.SetPresent(true);
    rig.watch.OnUsbDeviceChanged();
    rig.clock.RunFor(milliseconds(1000));
    EXPECT_EQ(rig.view.Status, std::string(DeviceConnectedText));
    ASSERT_TRUE(rig.RunToEnd());
    EXPECT_EQ(rig.view.Status, std::string(UpgradeCompleteText));
}

}  // namespace
}  // namespace quenfall::test
