// Ticks of an upload allocate nothing: global operator new is counted while a run goes
// through its blocks against a link that itself never allocates.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "package/package_loader.h"
#include "package/package_writer.h"
#include "upgrade/time_left.h"
#include "upgrade/upgrade_sequencer.h"
#include "upgrade/virtual_clock.h"
#include "run_rig.h"

namespace {
std::atomic<long> allocations{0};
}  // namespace

void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace quenfall {
namespace {

// Answers every request at once, telling the requests apart by their length.
class InstantRadio : public DeviceLink, public DeviceChannel {
public:
    explicit InstantRadio(const ProfileSelection& selection)
        : enter_(BuildResponse(ResponseCode(selection, CommandKind::EnterA), StatusInBootMode)),
          block_(BuildResponse(ResponseCode(selection, CommandKind::Block), StatusAck1)),
          exit_(BuildResponse(ResponseCode(selection, CommandKind::Exit), StatusAck1)) {}
    std::uint16_t ScanDrives() override { return 1; }
    OpenResult OpenDevice() override {
        struct Borrowed : DeviceChannel {
            DeviceChannel& to;
            explicit Borrowed(DeviceChannel& c) : to(c) {}
            CommandOutcome ScsiWrite(std::span<const std::uint8_t> d) override { return to.ScsiWrite(d); }
            CommandOutcome ScsiRead(std::span<std::uint8_t> b) override { return to.ScsiRead(b); }
        };
        return {std::make_unique<Borrowed>(*this), OpenFailure::None, {}};
    }
    CommandOutcome ScsiWrite(std::span<const std::uint8_t> data) override {
        answer_ = data.size() == BlockFrameLength ? &block_ : data.size() == ExitFrameLength ? &exit_ : &enter_;
        return {};
    }
    CommandOutcome ScsiRead(std::span<std::uint8_t> buffer) override {
        std::copy_n(answer_->begin(), std::min(buffer.size(), answer_->size()), buffer.begin());
        return {};
    }

private:
    using Answer = std::array<std::uint8_t, ResponseFrameLength>;
    Answer enter_, block_, exit_;
    const Answer* answer_ = &enter_;
};

using test::QuietView;

TEST(UpgradeAllocation, UploadTicksAllocateNothing) {
    PackageSpec spec;
    spec.ModelCode = 2;
    spec.ScrambleMode = 1;
    for (std::uint8_t id = 0; id < 3; ++id) spec.Sections.push_back({id, id, std::vector<std::uint8_t>(100000, id)});
    const auto package = LoadPackageImage(WritePackage(spec)).Accepted;
    ASSERT_TRUE(package);

    VirtualClock clock;
    QuietView view;
    InstantRadio radio(package->Selection);
    UpgradeSequencer sequencer(radio, view, clock);
    test::HandTimersTo(clock, sequencer);
    sequencer.Button2Click(package);
    clock.RunTicks(2);  // into the upload
    ASSERT_TRUE(sequencer.Busy());

    const long before = allocations.load();
    clock.RunTicks(2 * 140);  // 147 blocks in all: stay inside the upload
    const long during = allocations.load() - before;
    EXPECT_TRUE(sequencer.Busy());
    EXPECT_GT(sequencer.State().BlocksDone, 130);
    EXPECT_EQ(during, 0);
}

// The time left is looked at after every firing, as the real-time runs do: that costs no
// allocation either.
TEST(UpgradeAllocation, LookingAtTheTimeLeftEveryTickAllocatesNothing) {
    PackageSpec spec;
    spec.ModelCode = 2;
    spec.ScrambleMode = 1;
    spec.Sections.push_back({1, 1, std::vector<std::uint8_t>(300000, 1)});
    const auto package = LoadPackageImage(WritePackage(spec)).Accepted;
    ASSERT_TRUE(package);

    VirtualClock clock;
    QuietView view;
    InstantRadio radio(package->Selection);
    UpgradeSequencer sequencer(radio, view, clock);
    TimeLeftEstimator estimator;
    RunProgress last;
    int changes = 0;
    clock.SetDispatch([&](TimerId id) {
        sequencer.OnTimer(id);
        const RunProgress now = EstimateRun(estimator, PhaseOf(clock), sequencer.State().BlocksDone, package->TotalBlocks,
                                            TimeLeftEstimator::Clock::time_point(clock.Now()));
        if (!ShownAlike(now, last)) ++changes;
        last = now;
    });
    sequencer.Button2Click(package);
    clock.RunTicks(2);
    ASSERT_TRUE(sequencer.Busy());

    const long before = allocations.load();
    clock.RunTicks(2 * 140);
    const long during = allocations.load() - before;
    EXPECT_TRUE(sequencer.Busy());
    EXPECT_EQ(last.Phase, RunPhase::Uploading);
    EXPECT_GT(changes, 100);
    EXPECT_EQ(during, 0);
}

}  // namespace
}  // namespace quenfall
