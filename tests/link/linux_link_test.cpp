// The Linux binding against a fake kernel: what OpenDevice decides for each way a drive can
// be found, vanish or be refused, and the SG_IO requests the channel hands the kernel.
// The last group touches the real kernel where that is safe without a radio.
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <poll.h>

#include "link/linux/linux_device_link.h"
#include "link/linux/sg_io_request.h"
#include "link/linux/udev_block_devices.h"
#include "link/linux/usb_monitor.h"

namespace quenfall {
namespace {

BlockDeviceRecord Radio(const std::string& name) {
    return {"/dev/" + name, name, "disk", "1", "STM     ", "microSD Flash   "};
}
BlockDeviceRecord Stick(const std::string& name) {
    return {"/dev/" + name, name, "disk", "1", "SanDisk ", "Cruzer Blade    "};
}

// One SG_IO call as the kernel saw it.
struct SeenCommand {
    int Fd = -1;
    int Direction = 0;
    unsigned Length = 0;
    const void* Data = nullptr;
    std::vector<std::uint8_t> Block;
    unsigned Timeout = 0;
    unsigned SenseRoom = 0;
    bool SenseBufferGiven = false;
    int InterfaceId = 0;
    std::vector<std::uint8_t> DataAtCall;  // the data buffer as it was when the call came
};

struct FakeKernel {
    std::vector<BlockDeviceRecord> disks;
    std::map<std::string, int> openErrors;           // node -> errno for the read-write open
    std::map<std::string, BlockDeviceRecord> nodes;  // what a node is at open time
    bool rawIo = true;
    std::vector<std::uint8_t> answer;                // what a read delivers
    int sgIoResult = 0;

    std::vector<std::pair<std::string, int>> opens;
    std::vector<int> closes;
    std::vector<SeenCommand> commands;
    std::map<int, std::string> fdNode;
    int nextFd = 10;

    LinuxDriveSystem System() {
        LinuxDriveSystem s;
        s.ListBlockDevices = [this] { return disks; };
        s.Open = [this](const std::string& node, int flags) {
            opens.emplace_back(node, flags);
            const bool readWrite = (flags & O_ACCMODE) == O_RDWR;
            if (auto e = openErrors.find(node); e != openErrors.end() && (readWrite || e->second != EROFS)) {
                return -e->second;
            }
            if (!nodes.count(node)) return -ENOENT;
            fdNode[nextFd] = node;
            return nextFd++;
        };
        s.DescribeOpenDevice = [this](int fd) -> std::optional<BlockDeviceRecord> {
            auto it = fdNode.find(fd);
            if (it == fdNode.end()) return std::nullopt;
            return nodes.at(it->second);
        };
        s.SgIo = [this](int fd, sg_io_hdr_t& h) {
            SeenCommand c;
            c.Fd = fd;
            c.Direction = h.dxfer_direction;
            c.Length = h.dxfer_len;
            c.Data = h.dxferp;
            c.Block.assign(h.cmdp, h.cmdp + h.cmd_len);
            c.Timeout = h.timeout;
            c.SenseRoom = h.mx_sb_len;
            c.SenseBufferGiven = h.sbp != nullptr;
            c.InterfaceId = h.interface_id;
            if (h.dxferp) {
                auto* p = static_cast<std::uint8_t*>(h.dxferp);
                c.DataAtCall.assign(p, p + h.dxfer_len);
            }
            commands.push_back(c);
            if (sgIoResult == 0 && h.dxfer_direction == SG_DXFER_FROM_DEV) {
                std::memcpy(h.dxferp, answer.data(), std::min<std::size_t>(answer.size(), h.dxfer_len));
            }
            return sgIoResult;
        };
        s.Close = [this](int fd) { closes.push_back(fd); };
        s.HasRawIoCapability = [this] { return rawIo; };
        s.ExecutablePath = [] { return std::string("/usr/bin/quenfall"); };
        return s;
    }
    void Plug(const BlockDeviceRecord& r) {
        disks.push_back(r);
        nodes[r.DevNode] = r;
    }
};

const std::vector<std::uint8_t> WriteBlock = {0xFF, 0x2A, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x47, 0x50};
const std::vector<std::uint8_t> ReadBlock = {0xFF, 0x28, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x47, 0x50};

TEST(LinuxDeviceLink, ScansRadiosInNameOrderAndOpensTheFirstReadWrite) {
    FakeKernel k;
    k.Plug(Stick("sda"));
    k.Plug(Radio("sdaa"));
    k.Plug(Radio("sdc"));
    LinuxDeviceLink link(k.System());
    EXPECT_EQ(link.ScanDrives(), 2);
    const auto drives = link.ListedDrives();
    ASSERT_EQ(drives.size(), 2u);
    EXPECT_EQ(drives[0].Node, "/dev/sdc");
    EXPECT_EQ(drives[0].Vendor, "STM     ");
    EXPECT_EQ(drives[0].Model, "microSD Flash   ");
    EXPECT_EQ(drives[1].Node, "/dev/sdaa");

    auto opened = link.OpenDevice();
    ASSERT_EQ(opened.Failure, OpenFailure::None);
    ASSERT_TRUE(opened.Channel);
    ASSERT_EQ(k.opens.size(), 1u);
    EXPECT_EQ(k.opens[0].first, "/dev/sdc");
    EXPECT_EQ(k.opens[0].second & O_ACCMODE, O_RDWR);
    EXPECT_TRUE(k.opens[0].second & O_NONBLOCK);
    EXPECT_TRUE(k.opens[0].second & O_CLOEXEC);

    // Closing the channel closes the descriptor, once.
    opened.Channel.reset();
    EXPECT_EQ(k.closes, std::vector<int>{10});
}

TEST(LinuxDeviceLink, NoRadioOpensNothing) {
    FakeKernel k;
    k.Plug(Stick("sda"));
    LinuxDeviceLink link(k.System());
    EXPECT_EQ(link.ScanDrives(), 0);
    const auto opened = link.OpenDevice();
    EXPECT_EQ(opened.Failure, OpenFailure::NoRadio);
    EXPECT_FALSE(opened.Channel);
    EXPECT_TRUE(k.opens.empty());
}

TEST(LinuxDeviceLink, ARescanForgetsARadioThatLeft) {
    FakeKernel k;
    k.Plug(Radio("sdb"));
    LinuxDeviceLink link(k.System());
    EXPECT_EQ(link.ScanDrives(), 1);
    k.disks.clear();
    EXPECT_EQ(link.ScanDrives(), 0);
    EXPECT_EQ(link.OpenDevice().Failure, OpenFailure::NoRadio);
}

TEST(LinuxDeviceLink, ARadioThatVanishedAfterTheScanCannotBeOpened) {
    FakeKernel k;
    k.Plug(Radio("sdb"));
    LinuxDeviceLink link(k.System());
    ASSERT_EQ(link.ScanDrives(), 1);
    k.nodes.clear();  // unplugged between listing and opening
    const auto opened = link.OpenDevice();
    EXPECT_EQ(opened.Failure, OpenFailure::CannotOpen);
    EXPECT_FALSE(opened.Channel);
    EXPECT_NE(opened.Detail.find("/dev/sdb"), std::string::npos);

    k.openErrors["/dev/sdb"] = ENXIO;
    EXPECT_EQ(link.OpenDevice().Failure, OpenFailure::CannotOpen);
    EXPECT_TRUE(k.commands.empty());
}

TEST(LinuxDeviceLink, ANodeThatIsNoLongerTheRadioGetsNoCommand) {
    FakeKernel k;
    k.Plug(Radio("sdb"));
    LinuxDeviceLink link(k.System());
    ASSERT_EQ(link.ScanDrives(), 1);
    k.nodes["/dev/sdb"] = Stick("sdb");  // the radio left and a memory stick took its name
    const auto opened = link.OpenDevice();
    EXPECT_EQ(opened.Failure, OpenFailure::CannotOpen);
    EXPECT_FALSE(opened.Channel);
    EXPECT_EQ(k.closes, std::vector<int>{10});
    EXPECT_TRUE(k.commands.empty());
}

TEST(LinuxDeviceLink, ListsEachRadiosLocationAndOpensAnyListedOneOnlyWhileItIsStillThere) {
    FakeKernel k;
    BlockDeviceRecord one = Radio("sdb");
    one.Location = "1-1.1";
    BlockDeviceRecord two = Radio("sdc");
    two.Location = "1-1.2";
    k.Plug(one);
    k.Plug(two);
    LinuxDeviceLink link(k.System());
    ASSERT_EQ(link.ScanDrives(), 2);
    const auto drives = link.ListedDrives();
    EXPECT_EQ(drives[0].Location, "1-1.1");
    EXPECT_EQ(drives[1].Location, "1-1.2");

    auto opened = link.OpenListedDrive(1);
    ASSERT_TRUE(opened.Channel);
    EXPECT_EQ(k.opens.back().first, "/dev/sdc");
    opened.Channel.reset();
    EXPECT_EQ(link.OpenListedDrive(2).Failure, OpenFailure::NoRadio);

    // Both restarted since the scan, and the second radio came back as sdb: the scan's sdb
    // is another radio now and gets no command.
    two.DevNode = "/dev/sdb";
    k.nodes["/dev/sdb"] = two;
    const auto swapped = link.OpenListedDrive(0);
    EXPECT_EQ(swapped.Failure, OpenFailure::CannotOpen);
    EXPECT_FALSE(swapped.Channel);
    EXPECT_TRUE(k.commands.empty());
}

TEST(LinuxDeviceLink, AnUnwritableNodeIsAPermissionProblemWithAdvice) {
    for (int error : {EACCES, EPERM}) {
        FakeKernel k;
        k.Plug(Radio("sdb"));
        k.openErrors["/dev/sdb"] = error;
        LinuxDeviceLink link(k.System());
        ASSERT_EQ(link.ScanDrives(), 1);
        const auto opened = link.OpenDevice();
        EXPECT_EQ(opened.Failure, OpenFailure::PermissionDenied);
        EXPECT_FALSE(opened.Channel);
        EXPECT_NE(opened.Detail.find("/dev/sdb"), std::string::npos);
        EXPECT_NE(opened.Detail.find("70-quenfall-radio.rules"), std::string::npos);
        EXPECT_NE(opened.Detail.find("sudo setcap cap_sys_rawio+ep /usr/bin/quenfall"), std::string::npos);
    }
}

TEST(LinuxDeviceLink, WithoutRawIoTheDriveIsClosedBeforeAnyCommand) {
    FakeKernel k;
    k.Plug(Radio("sdb"));
    k.rawIo = false;
    LinuxDeviceLink link(k.System());
    EXPECT_NE(link.PermissionProblem().find("CAP_SYS_RAWIO"), std::string::npos);
    ASSERT_EQ(link.ScanDrives(), 1);
    const auto opened = link.OpenDevice();
    EXPECT_EQ(opened.Failure, OpenFailure::PermissionDenied);
    EXPECT_FALSE(opened.Channel);
    EXPECT_NE(opened.Detail.find("sudo setcap cap_sys_rawio+ep /usr/bin/quenfall"), std::string::npos);
    EXPECT_NE(opened.Detail.find("root"), std::string::npos);
    EXPECT_EQ(k.closes, std::vector<int>{10});
    EXPECT_TRUE(k.commands.empty());

    k.rawIo = true;
    EXPECT_EQ(link.PermissionProblem(), "");
}

TEST(LinuxDeviceLink, AWriteProtectedDriveIsOpenedReadOnly) {
    FakeKernel k;
    k.Plug(Radio("sdb"));
    k.openErrors["/dev/sdb"] = EROFS;
    LinuxDeviceLink link(k.System());
    ASSERT_EQ(link.ScanDrives(), 1);
    const auto opened = link.OpenDevice();
    ASSERT_EQ(opened.Failure, OpenFailure::None);
    ASSERT_EQ(k.opens.size(), 2u);
    EXPECT_EQ(k.opens[1].second & O_ACCMODE, O_RDONLY);
}

class LinuxChannel : public ::testing::Test {
protected:
    void SetUp() override {
        k.Plug(Radio("sdb"));
        link = std::make_unique<LinuxDeviceLink>(k.System());
        ASSERT_EQ(link->ScanDrives(), 1);
        auto opened = link->OpenDevice();
        ASSERT_EQ(opened.Failure, OpenFailure::None);
        channel = std::move(opened.Channel);
    }
    FakeKernel k;
    std::unique_ptr<LinuxDeviceLink> link;
    std::unique_ptr<DeviceChannel> channel;
};

TEST_F(LinuxChannel, WriteSendsTheWholeFrameInOneDataOutPhase) {
    std::vector<std::uint8_t> frame(2065);
    for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<std::uint8_t>(i * 7);
    channel->ScsiWrite(frame);
    ASSERT_EQ(k.commands.size(), 1u);
    const auto& c = k.commands[0];
    EXPECT_EQ(c.Fd, 10);
    EXPECT_EQ(c.InterfaceId, 'S');
    EXPECT_EQ(c.Direction, SG_DXFER_TO_DEV);
    EXPECT_EQ(c.Length, 2065u);
    EXPECT_EQ(c.Data, frame.data());  // sent from the caller's bytes, not a padded copy
    EXPECT_EQ(c.DataAtCall, frame);
    EXPECT_EQ(c.Block, WriteBlock);
    EXPECT_EQ(c.Timeout, 2000u);
    EXPECT_EQ(c.SenseRoom, 32u);
    EXPECT_TRUE(c.SenseBufferGiven);
}

TEST_F(LinuxChannel, AnEmptyWriteHasNoDataPhase) {
    channel->ScsiWrite({});
    ASSERT_EQ(k.commands.size(), 1u);
    EXPECT_EQ(k.commands[0].Direction, SG_DXFER_NONE);
    EXPECT_EQ(k.commands[0].Length, 0u);
    EXPECT_EQ(k.commands[0].Data, nullptr);
    EXPECT_EQ(k.commands[0].Block, WriteBlock);
}

TEST_F(LinuxChannel, ReadZeroesExactlyTheAskedBytesThenFetchesThem) {
    std::array<std::uint8_t, 4096> response;
    response.fill(0xEE);
    k.answer = {0xA1, 0x81, 0x01, 0x00, 0x01, 0x04, 0x00, 0x04, 0xA4};
    channel->ScsiRead(std::span(response).first(9));
    ASSERT_EQ(k.commands.size(), 1u);
    const auto& c = k.commands[0];
    EXPECT_EQ(c.Direction, SG_DXFER_FROM_DEV);
    EXPECT_EQ(c.Length, 9u);
    EXPECT_EQ(c.Data, response.data());
    EXPECT_EQ(c.DataAtCall, std::vector<std::uint8_t>(9, 0));  // zeroed before the command
    EXPECT_EQ(c.Block, ReadBlock);
    EXPECT_EQ(c.Timeout, 2000u);
    EXPECT_TRUE(std::equal(k.answer.begin(), k.answer.end(), response.begin()));
    EXPECT_EQ(response[9], 0xEE);  // the rest of the buffer is left alone
    EXPECT_EQ(response[4095], 0xEE);
}

TEST_F(LinuxChannel, AFailedReadLeavesZeros) {
    std::array<std::uint8_t, 9> response;
    response.fill(0x55);
    k.sgIoResult = -1;
    k.answer = std::vector<std::uint8_t>(9, 0xA1);
    channel->ScsiRead(response);
    EXPECT_EQ(response, (std::array<std::uint8_t, 9>{}));
}

TEST(SgIoRequest, HeaderPointsIntoItsOwnBlockAndSense) {
    SgIoRequest request;
    std::array<std::uint8_t, 9> data{};
    BuildSgIoRequest(request, VendorCommand::Read, data);
    EXPECT_EQ(request.Header.cmdp, request.Block.data());
    EXPECT_EQ(request.Header.sbp, request.Sense.data());
    EXPECT_EQ(request.Header.cmd_len, 16);
    EXPECT_EQ(request.Header.iovec_count, 0);
    EXPECT_EQ(request.Header.flags, 0u);
    // Building again over a used request leaves nothing of the old one behind.
    request.Sense.fill(0x70);
    BuildSgIoRequest(request, VendorCommand::Write, {});
    EXPECT_EQ(request.Header.dxfer_direction, SG_DXFER_NONE);
    EXPECT_EQ(request.Sense, (std::array<unsigned char, 32>{}));
    EXPECT_EQ(request.Block[1], 0x2A);
}

// --- The real kernel, where it is safe without a radio ---

// Drops CAP_SYS_RAWIO from the effective set and exits 0 when the check sees it gone.
[[noreturn]] void DropRawIoAndCheck() {
    __user_cap_header_struct header{};
    header.version = _LINUX_CAPABILITY_VERSION_3;
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    if (syscall(SYS_capget, &header, data) != 0) _exit(2);
    data[CAP_SYS_RAWIO / 32].effective &= ~(1u << (CAP_SYS_RAWIO % 32));
    if (syscall(SYS_capset, &header, data) != 0) _exit(3);
    _exit(ProcessHasRawIoCapability() ? 1 : 0);
}

TEST(RealKernel, DroppingRawIoIsSeen) {
    // In a child, so the test process keeps its capabilities.
    EXPECT_EXIT(DropRawIoAndCheck(), ::testing::ExitedWithCode(0), "");
}

TEST(RealKernel, UdevListsOnlyWholeDisks) {
    for (const auto& record : ListUdevDisks()) {
        EXPECT_EQ(record.DevType, "disk") << record.SysName;
        EXPECT_FALSE(record.SysName.empty());
    }
}

TEST(RealKernel, MonitorDispatchNeverBlocks) {
    int calls = 0;
    UsbMonitor monitor([&] { ++calls; });
    if (!monitor.IsWatching()) GTEST_SKIP() << "no udev event stream here";
    EXPECT_GE(monitor.Fd(), 0);
    // Nothing is plugged during the test: dispatching an empty queue returns at once.
    EXPECT_EQ(monitor.Dispatch(), 0);
    EXPECT_EQ(calls, 0);
    pollfd p{monitor.Fd(), POLLIN, 0};
    EXPECT_EQ(::poll(&p, 1, 0), 0);
}

}  // namespace
}  // namespace quenfall
