// The Linux binding against a fake kernel: what OpenDevice decides for each way a drive can
// be found, vanish or be refused, and the SG_IO requests that reach the kernel. The radio
// helper runs in-process here (its service over the fake kernel), so every request also
// passes through its checks and its wire format. The last group touches the real kernel
// where that is safe without a radio.
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <poll.h>

#include "platform/linux/linux_device_link.h"
#include "helper/server/linux/linux_pass_through_port.h"
#include "helper/server/radio_helper_service.h"
#include "helper/server/linux/raw_io_capability.h"
#include "helper/server/linux/pass_through_linux.h"
#include "platform/linux/udev_block_devices.h"
#include "platform/linux/linux_usb_watch.h"

namespace quenfall {
namespace {

using helper::NodeKind;
using helper::RadioNodeFacts;

const std::string HelperAt = "/usr/libexec/quenfall/quenfall-radio-helper";

// A drive as discovery lists it; generic is the same SCSI device's sg node ("" for none).
BlockDeviceRecord Radio(const std::string& name, const std::string& generic = "") {
    return {"/dev/" + name, name, "disk", "1", "STM     ", "microSD Flash   ", generic};
}
BlockDeviceRecord Stick(const std::string& name, const std::string& generic = "") {
    return {"/dev/" + name, name, "disk", "1", "SanDisk ", "Cruzer Blade    ", generic};
}

// What sysfs says of a node, as the helper reads it.
RadioNodeFacts FactsOf(const BlockDeviceRecord& r, NodeKind kind) {
    RadioNodeFacts f;
    f.Kind = kind;
    f.Name = kind == NodeKind::Block ? "block device 8:16" : "SCSI generic device 21:1";
    f.Removable = r.Removable;
    f.ScsiType = "0";
    f.Vendor = r.Vendor;
    f.Model = r.Model;
    f.Disks = 1;
    // Below the USB device at its location, as the kernel lays a USB disk out.
    if (!r.Location.empty()) {
        f.DiskPath = "/devices/pci0000:00/0000:00:14.0/usb1/" + r.Location + "/" + r.Location +
                     ":1.0/host6/target6:0:0/6:0:0:0/block/" + r.SysName;
    }
    return f;
}

// One SG_IO call as the kernel saw it.
struct SeenCommand {
    int Fd = -1;
    int Direction = 0;
    unsigned Length = 0;
    std::vector<std::uint8_t> Block;
    unsigned Timeout = 0;
    unsigned SenseRoom = 0;
    bool SenseBufferGiven = false;
    int InterfaceId = 0;
    std::vector<std::uint8_t> DataAtCall;  // the data buffer as it was when the call came
};

// The helper's side in-process: its service over the fake kernel, reached through the
// same encoding as the socket. lost makes it vanish as a dead helper would.
class InProcessHelper final : public helper::HelperConnection {
public:
    InProcessHelper(helper::HelperKernel kernel, const bool& lost, int& exchanges)
        : service_(std::make_unique<helper::LinuxPassThrough>(std::move(kernel))), lost_(lost), exchanges_(exchanges) {}
    std::optional<helper::Reply> Exchange(const helper::Request& request) override {
        ++exchanges_;
        if (lost_ || gone_) {
            gone_ = true;
            return std::nullopt;
        }
        const auto body = helper::EncodeReply(service_.Handle(helper::DecodeRequest(helper::EncodeRequest(request))));
        return helper::DecodeReply(body);
    }
    helper::Hello Greeting() const { return service_.Greeting(); }

private:
    helper::RadioHelperService service_;
    const bool& lost_;
    int& exchanges_;
    bool gone_ = false;
};

struct FakeKernel {
    std::vector<BlockDeviceRecord> disks;
    std::map<std::string, int> openErrors;        // node -> errno for the read-write open
    std::map<std::string, RadioNodeFacts> nodes;  // what a node is at open time
    std::map<std::string, RadioNodeFacts> nodesAfterOpen;  // what it has become once opened
    bool rawIo = true;
    bool initialUserNamespace = true;
    std::vector<std::uint8_t> answer;             // what a read delivers
    int sgIoError = 0;                            // errno of a failing SG_IO
    std::string helperProblem;                    // the helper does not start, for this
    bool helperLost = false;

    static constexpr int FirstPathFd = 100;
    std::vector<std::string> paths;                // nodes named by a path descriptor
    std::vector<std::pair<std::string, int>> opens;  // nodes opened for their data
    std::vector<int> closes;
    std::vector<int> pathCloses;
    int nextPathFd = FirstPathFd;
    std::vector<SeenCommand> commands;
    std::map<int, std::string> fdNode;
    int nextFd = 10;
    int helperStarts = 0;
    int exchanges = 0;

    helper::HelperKernel Kernel() {
        helper::HelperKernel k;
        k.OpenPath = [this](const std::string& node) {
            paths.push_back(node);
            if (!nodes.count(node)) return -ENOENT;
            fdNode[nextPathFd] = node;
            return nextPathFd++;
        };
        k.Reopen = [this](int pathFd, int flags) {
            EXPECT_GE(pathFd, FirstPathFd) << "only a path descriptor is reopened";
            const std::string& node = fdNode.at(pathFd);
            opens.emplace_back(node, flags);
            const bool readWrite = (flags & O_ACCMODE) == O_RDWR;
            if (auto e = openErrors.find(node); e != openErrors.end() && (readWrite || e->second != EROFS)) {
                return -e->second;
            }
            if (auto after = nodesAfterOpen.find(node); after != nodesAfterOpen.end()) nodes[node] = after->second;
            fdNode[nextFd] = node;
            return nextFd++;
        };
        k.Describe = [this](int fd) { return nodes.at(fdNode.at(fd)); };
        k.SgIo = [this](int fd, sg_io_hdr_t& h) {
            SeenCommand c;
            c.Fd = fd;
            c.Direction = h.dxfer_direction;
            c.Length = h.dxfer_len;
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
            if (sgIoError == 0 && h.dxfer_direction == SG_DXFER_FROM_DEV) {
                std::memcpy(h.dxferp, answer.data(), std::min<std::size_t>(answer.size(), h.dxfer_len));
            }
            return -sgIoError;
        };
        k.Close = [this](int fd) { (fd >= FirstPathFd ? pathCloses : closes).push_back(fd); };
        k.HasRawIoCapability = [this] { return rawIo; };
        k.InInitialUserNamespace = [this] { return initialUserNamespace; };
        return k;
    }

    LinuxDriveSystem System() {
        LinuxDriveSystem s;
        s.ListBlockDevices = [this] { return disks; };
        s.HelperPath = HelperAt;
        s.StartHelper = [this] {
            ++helperStarts;
            helper::HelperStart start;
            if (!helperProblem.empty()) {
                start.Problem = helperProblem;
                return start;
            }
            auto connection = std::make_unique<InProcessHelper>(Kernel(), helperLost, exchanges);
            start.Greeting = connection->Greeting();
            start.Connection = std::move(connection);
            return start;
        };
        return s;
    }
    void Plug(const BlockDeviceRecord& r) {
        disks.push_back(r);
        nodes[r.DevNode] = FactsOf(r, NodeKind::Block);
        if (!r.GenericNode.empty()) nodes[r.GenericNode] = FactsOf(r, NodeKind::ScsiGeneric);
    }
};

const std::vector<std::uint8_t> WriteBlock = {0xFF, 0x2A, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x47, 0x50};
const std::vector<std::uint8_t> ReadBlock = {0xFF, 0x28, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x47, 0x50};

TEST(LinuxDeviceLink, ScansRadiosInNameOrderAndOpensTheFirstThroughItsGenericNode) {
    FakeKernel k;
    k.Plug(Stick("sda", "/dev/sg0"));
    k.Plug(Radio("sdaa", "/dev/sg2"));
    k.Plug(Radio("sdc", "/dev/sg1"));
    LinuxDeviceLink link(k.System());
    EXPECT_EQ(link.ScanDrives(), 2);
    const auto drives = link.ListedDrives();
    ASSERT_EQ(drives.size(), 2u);
    EXPECT_EQ(drives[0].Node, "/dev/sdc");
    EXPECT_EQ(drives[0].Vendor, "STM     ");
    EXPECT_EQ(drives[0].Model, "microSD Flash   ");
    EXPECT_EQ(drives[1].Node, "/dev/sdaa");
    EXPECT_EQ(k.helperStarts, 0);  // a scan needs no helper

    auto opened = link.OpenDevice();
    ASSERT_EQ(opened.Failure, OpenFailure::None);
    ASSERT_TRUE(opened.Channel);
    ASSERT_EQ(k.opens.size(), 1u);
    EXPECT_EQ(k.opens[0].first, "/dev/sg1");  // the generic node keeps the 2 s time-out
    EXPECT_EQ(k.opens[0].second & O_ACCMODE, O_RDWR);
    EXPECT_TRUE(k.opens[0].second & O_NONBLOCK);
    EXPECT_TRUE(k.opens[0].second & O_CLOEXEC);
    EXPECT_EQ(k.helperStarts, 1);
    // The node was named first, judged, and only then opened through its path descriptor,
    // which the helper does not keep.
    EXPECT_EQ(k.paths, std::vector<std::string>{"/dev/sg1"});
    EXPECT_EQ(k.pathCloses, std::vector<int>{k.FirstPathFd});

    // Closing the channel ends the helper, which closes the descriptor, once.
    opened.Channel.reset();
    EXPECT_EQ(k.closes, std::vector<int>{10});
}

TEST(LinuxDeviceLink, NoRadioOpensNothing) {
    FakeKernel k;
    k.Plug(Stick("sda", "/dev/sg0"));
    LinuxDeviceLink link(k.System());
    EXPECT_EQ(link.ScanDrives(), 0);
    const auto opened = link.OpenDevice();
    EXPECT_EQ(opened.Failure, OpenFailure::NoRadio);
    EXPECT_FALSE(opened.Channel);
    EXPECT_TRUE(k.opens.empty());
    EXPECT_EQ(k.helperStarts, 0);
}

TEST(LinuxDeviceLink, ARescanForgetsARadioThatLeft) {
    FakeKernel k;
    k.Plug(Radio("sdb", "/dev/sg1"));
    LinuxDeviceLink link(k.System());
    EXPECT_EQ(link.ScanDrives(), 1);
    k.disks.clear();
    EXPECT_EQ(link.ScanDrives(), 0);
    EXPECT_EQ(link.OpenDevice().Failure, OpenFailure::NoRadio);
}

TEST(LinuxDeviceLink, ARadioThatVanishedAfterTheScanCannotBeOpened) {
    FakeKernel k;
    k.Plug(Radio("sdb", "/dev/sg1"));
    LinuxDeviceLink link(k.System());
    ASSERT_EQ(link.ScanDrives(), 1);
    k.nodes.clear();  // unplugged between listing and opening
    const auto opened = link.OpenDevice();
    EXPECT_EQ(opened.Failure, OpenFailure::CannotOpen);
    EXPECT_FALSE(opened.Channel);
    EXPECT_NE(opened.Detail.find("/dev/sg1"), std::string::npos);

    k.openErrors["/dev/sg1"] = ENXIO;
    EXPECT_EQ(link.OpenDevice().Failure, OpenFailure::CannotOpen);
    EXPECT_TRUE(k.commands.empty());
}

TEST(LinuxDeviceLink, ANodeThatIsNoLongerTheRadioGetsNoCommand) {
    FakeKernel k;
    k.Plug(Radio("sdb", "/dev/sg1"));
    LinuxDeviceLink link(k.System());
    ASSERT_EQ(link.ScanDrives(), 1);
    // The radio left and a memory stick took its generic node's number.
    k.nodes["/dev/sg1"] = FactsOf(Stick("sdb"), NodeKind::ScsiGeneric);
    const auto opened = link.OpenDevice();
    EXPECT_EQ(opened.Failure, OpenFailure::CannotOpen);
    EXPECT_FALSE(opened.Channel);
    EXPECT_NE(opened.Detail.find("not the radio"), std::string::npos) << opened.Detail;
    // Judged by its path descriptor, it was never opened for its data.
    EXPECT_TRUE(k.opens.empty());
    EXPECT_TRUE(k.closes.empty());
    EXPECT_EQ(k.pathCloses, std::vector<int>{k.FirstPathFd});
    EXPECT_TRUE(k.commands.empty());
}

TEST(LinuxDeviceLink, ANodeThatChangesHandsWhileItIsOpenedIsClosedAgain) {
    FakeKernel k;
    k.Plug(Radio("sdb", "/dev/sg1"));
    // Between the helper's look and its open, the radio left and a stick took the number.
    k.nodesAfterOpen["/dev/sg1"] = FactsOf(Stick("sdb"), NodeKind::ScsiGeneric);
    LinuxDeviceLink link(k.System());
    ASSERT_EQ(link.ScanDrives(), 1);
    const auto opened = link.OpenDevice();
    EXPECT_EQ(opened.Failure, OpenFailure::CannotOpen);
    EXPECT_FALSE(opened.Channel);
    EXPECT_NE(opened.Detail.find("not the radio"), std::string::npos) << opened.Detail;
    EXPECT_EQ(k.closes, std::vector<int>{10});
    EXPECT_TRUE(k.commands.empty());

    // Another radio's disk in its place is no better: it is not the radio that was judged.
    k.nodes["/dev/sg1"] = FactsOf(Radio("sdb", "/dev/sg1"), NodeKind::ScsiGeneric);
    RadioNodeFacts elsewhere = k.nodes["/dev/sg1"];
    elsewhere.DiskPath = "/devices/pci0000:00/usb2/2-1/2-1:1.0/host7/target7:0:0/7:0:0:0/block/sdb";
    k.nodesAfterOpen["/dev/sg1"] = elsewhere;
    const auto again = link.OpenDevice();
    EXPECT_EQ(again.Failure, OpenFailure::CannotOpen);
    EXPECT_NE(again.Detail.find("changed hands"), std::string::npos) << again.Detail;
    EXPECT_TRUE(k.commands.empty());
}

TEST(LinuxDeviceLink, InAUserNamespaceOfItsOwnTheHelperOpensNothingAndClaimsNoCapability) {
    FakeKernel k;
    k.Plug(Radio("sdb"));  // the disk node only: the capability would be needed
    k.initialUserNamespace = false;
    LinuxDeviceLink link(k.System());
    ASSERT_EQ(link.ScanDrives(), 1);
    // capget says the helper holds it (root of its own namespace); the kernel would not honour it.
    EXPECT_NE(link.PermissionProblem().find("(CAP_SYS_RAWIO)"), std::string::npos);
    const auto opened = link.OpenDevice();
    EXPECT_EQ(opened.Failure, OpenFailure::CannotOpen);
    EXPECT_FALSE(opened.Channel);
    EXPECT_NE(opened.Detail.find("user namespace"), std::string::npos) << opened.Detail;
    EXPECT_TRUE(k.paths.empty());
    EXPECT_TRUE(k.opens.empty());
    EXPECT_TRUE(k.commands.empty());
}

TEST(LinuxDeviceLink, ListsEachRadiosLocationAndOpensAnyListedOneOnlyWhileItIsStillThere) {
    FakeKernel k;
    BlockDeviceRecord one = Radio("sdb", "/dev/sg1");
    one.Location = "1-1.1";
    BlockDeviceRecord two = Radio("sdc", "/dev/sg2");
    two.Location = "1-1.2";
    k.Plug(one);
    k.Plug(two);
    LinuxDeviceLink link(k.System());
    ASSERT_EQ(link.ScanDrives(), 2);
    const auto drives = link.ListedDrives();
    EXPECT_EQ(drives[0].Location, "1-1.1");
    EXPECT_EQ(drives[1].Location, "1-1.2");

    auto opened = link.OpenListedDrive(1);
    ASSERT_TRUE(opened.Channel) << opened.Detail;
    EXPECT_EQ(k.opens.back().first, "/dev/sg2");
    opened.Channel.reset();
    EXPECT_EQ(link.OpenListedDrive(2).Failure, OpenFailure::NoRadio);

    // Both restarted since the scan, and the second radio came back with the first one's
    // nodes: the scan's sdb is another radio now and gets no command.
    two.DevNode = "/dev/sdb";
    two.GenericNode = "/dev/sg1";
    k.Plug(two);
    const auto swapped = link.OpenListedDrive(0);
    EXPECT_EQ(swapped.Failure, OpenFailure::CannotOpen);
    EXPECT_NE(swapped.Detail.find("1-1.1"), std::string::npos) << swapped.Detail;
    EXPECT_FALSE(swapped.Channel);
    EXPECT_TRUE(k.commands.empty());
}

TEST(LinuxDeviceLink, AnUnopenableNodeIsAdviceAboutTheUdevRule) {
    for (int error : {EACCES, EPERM}) {
        FakeKernel k;
        k.Plug(Radio("sdb", "/dev/sg1"));
        k.openErrors["/dev/sg1"] = error;
        LinuxDeviceLink link(k.System());
        ASSERT_EQ(link.ScanDrives(), 1);
        const auto opened = link.OpenDevice();
        EXPECT_EQ(opened.Failure, OpenFailure::PermissionDenied);
        EXPECT_FALSE(opened.Channel);
        EXPECT_NE(opened.Detail.find("The radio was found at /dev/sdb (/dev/sg1), but this user may not open it."),
                  std::string::npos) << opened.Detail;
        EXPECT_NE(opened.Detail.find("70-quenfall-radio.rules"), std::string::npos);
        // Nobody is told to give the window or the command line a capability.
        EXPECT_EQ(opened.Detail.find("setcap"), std::string::npos);
    }
}

TEST(LinuxDeviceLink, ThroughTheGenericNodeNoCapabilityIsNeeded) {
    FakeKernel k;
    k.Plug(Radio("sdb", "/dev/sg1"));
    k.rawIo = false;
    LinuxDeviceLink link(k.System());
    ASSERT_EQ(link.ScanDrives(), 1);
    EXPECT_EQ(link.PermissionProblem(), "");
    const auto opened = link.OpenDevice();
    EXPECT_EQ(opened.Failure, OpenFailure::None);
}

TEST(LinuxDeviceLink, ThroughTheDiskNodeTheHelperMustHoldTheCapability) {
    FakeKernel k;
    k.Plug(Radio("sdb"));  // no sg driver: the disk node is all there is
    k.rawIo = false;
    LinuxDeviceLink link(k.System());
    ASSERT_EQ(link.ScanDrives(), 1);
    const std::string problem = link.PermissionProblem();
    EXPECT_NE(problem.find("(CAP_SYS_RAWIO)"), std::string::npos) << problem;
    EXPECT_NE(problem.find("sudo setcap cap_sys_rawio+ep " + HelperAt), std::string::npos) << problem;
    EXPECT_NE(problem.find("modprobe sg"), std::string::npos);

    const auto opened = link.OpenDevice();
    EXPECT_EQ(opened.Failure, OpenFailure::PermissionDenied);
    EXPECT_FALSE(opened.Channel);
    EXPECT_EQ(opened.Detail, problem);
    EXPECT_EQ(k.opens[0].first, "/dev/sdb");
    EXPECT_EQ(k.closes, std::vector<int>{10});
    EXPECT_TRUE(k.commands.empty());

    k.rawIo = true;
    EXPECT_EQ(link.PermissionProblem(), "");
    EXPECT_EQ(link.OpenDevice().Failure, OpenFailure::None);
}

TEST(LinuxDeviceLink, AHelperThatDoesNotStartIsAdviceNotACommunicationError) {
    FakeKernel k;
    k.Plug(Radio("sdb", "/dev/sg1"));
    k.helperProblem = "No such file or directory";
    LinuxDeviceLink link(k.System());
    ASSERT_EQ(link.ScanDrives(), 1);
    const auto opened = link.OpenDevice();
    EXPECT_EQ(opened.Failure, OpenFailure::PermissionDenied);
    EXPECT_NE(opened.Detail.find("The radio helper " + HelperAt + " could not be started (No such file or directory)"),
              std::string::npos) << opened.Detail;
    EXPECT_EQ(link.PermissionProblem(), opened.Detail);
    EXPECT_TRUE(k.opens.empty());
}

TEST(LinuxDeviceLink, AHelperThatDiesAtTheOpenIsAFailedOpen) {
    FakeKernel k;
    k.Plug(Radio("sdb", "/dev/sg1"));
    k.helperLost = true;
    LinuxDeviceLink link(k.System());
    ASSERT_EQ(link.ScanDrives(), 1);
    const auto opened = link.OpenDevice();
    EXPECT_EQ(opened.Failure, OpenFailure::CannotOpen);
    EXPECT_FALSE(opened.Channel);
    EXPECT_NE(opened.Detail.find("radio helper"), std::string::npos);
}

TEST(LinuxDeviceLink, AWriteProtectedDriveIsOpenedReadOnly) {
    FakeKernel k;
    k.Plug(Radio("sdb", "/dev/sg1"));
    k.openErrors["/dev/sg1"] = EROFS;
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
        k.Plug(Radio("sdb", "/dev/sg1"));
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
    const CommandOutcome outcome = channel->ScsiWrite(frame);
    ASSERT_EQ(k.commands.size(), 1u);
    const auto& c = k.commands[0];
    EXPECT_EQ(c.Fd, 10);
    EXPECT_EQ(c.InterfaceId, 'S');
    EXPECT_EQ(c.Direction, SG_DXFER_TO_DEV);
    EXPECT_EQ(c.Length, 2065u);
    EXPECT_EQ(c.DataAtCall, frame);  // neither split nor padded on its way through the helper
    EXPECT_EQ(c.Block, WriteBlock);
    EXPECT_EQ(c.Timeout, 2000u);
    EXPECT_EQ(c.SenseRoom, 32u);
    EXPECT_TRUE(c.SenseBufferGiven);
    EXPECT_TRUE(outcome.Good());
    EXPECT_FALSE(IsRefusal(outcome));
}

TEST_F(LinuxChannel, OnlyFramesOfTheDialoguesLengthsReachTheRadio) {
    // Exit (8), enter with 0 and 12 sections (10, 22), block (2065) go out; anything else,
    // an empty write included, is refused by the helper and never reaches the kernel.
    for (std::size_t n : {0, 1, 7, 9, 23, 2064, 2066, 4096}) {
        const CommandOutcome refused = channel->ScsiWrite(std::vector<std::uint8_t>(n, 0x11));
        EXPECT_EQ(refused.Result, CommandResult::HelperRefused) << n;
        EXPECT_FALSE(IsRefusal(refused)) << "the helper's refusal is no advice for the user";
    }
    EXPECT_TRUE(k.commands.empty());
    for (std::size_t n : {8, 10, 22, 2065}) channel->ScsiWrite(std::vector<std::uint8_t>(n, 0x11));
    ASSERT_EQ(k.commands.size(), 4u);
    EXPECT_EQ(k.commands[1].Length, 10u);
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
    EXPECT_EQ(c.DataAtCall, std::vector<std::uint8_t>(9, 0));  // zeroed before the command
    EXPECT_EQ(c.Block, ReadBlock);
    EXPECT_EQ(c.Timeout, 2000u);
    EXPECT_TRUE(std::equal(k.answer.begin(), k.answer.end(), response.begin()));
    EXPECT_EQ(response[9], 0xEE);  // the rest of the buffer is left alone
    EXPECT_EQ(response[4095], 0xEE);

    // The whole response buffer may be asked for, not more.
    channel->ScsiRead(response);
    EXPECT_EQ(k.commands.size(), 2u);
    std::vector<std::uint8_t> tooLong(4097, 0x55);
    channel->ScsiRead(tooLong);
    EXPECT_EQ(k.commands.size(), 2u);
    EXPECT_EQ(tooLong, std::vector<std::uint8_t>(4097, 0));
}

TEST_F(LinuxChannel, AFailedReadLeavesZeros) {
    std::array<std::uint8_t, 9> response;
    response.fill(0x55);
    k.sgIoError = EIO;
    k.answer = std::vector<std::uint8_t>(9, 0xA1);
    const CommandOutcome outcome = channel->ScsiRead(response);
    EXPECT_EQ(response, (std::array<std::uint8_t, 9>{}));
    EXPECT_EQ(outcome, OutcomeOfSystemError(EIO, ErrorCodes::Posix));
    EXPECT_FALSE(IsRefusal(outcome));  // a failing radio is no refusal
}

TEST_F(LinuxChannel, ASystemThatRefusesTheCommandsSaysSo) {
    // A container's root: the helper opened the node, then the kernel refuses every command.
    for (int error : {EPERM, EACCES}) {
        k.sgIoError = error;
        std::array<std::uint8_t, 10> frame{};
        const CommandOutcome outcome = channel->ScsiWrite(frame);
        ASSERT_TRUE(IsRefusal(outcome));
        const std::string refusal = channel->RefusalAdvice(outcome);
        EXPECT_NE(refusal.find("/dev/sg1"), std::string::npos) << refusal;
        EXPECT_NE(refusal.find(std::strerror(error)), std::string::npos) << refusal;
        EXPECT_NE(refusal.find("container"), std::string::npos);
    }
}

TEST_F(LinuxChannel, AHelperThatDiedLeavesZerosAndIsNotAskedAgain) {
    k.answer = {0xA1, 0x81, 0x01, 0x00, 0x01, 0x04, 0x00, 0x04, 0xA4};
    k.helperLost = true;
    std::array<std::uint8_t, 9> response;
    response.fill(0x55);
    EXPECT_EQ(channel->ScsiRead(response).Result, CommandResult::ChannelGone);
    EXPECT_EQ(response, (std::array<std::uint8_t, 9>{}));
    const int asked = k.exchanges;
    const CommandOutcome write = channel->ScsiWrite(std::vector<std::uint8_t>(8));
    EXPECT_EQ(write.Result, CommandResult::ChannelGone);
    EXPECT_FALSE(IsRefusal(write));
    EXPECT_EQ(channel->ScsiRead(response).Result, CommandResult::ChannelGone);
    EXPECT_EQ(k.exchanges, asked);
    EXPECT_TRUE(k.commands.empty());
}

TEST(LinuxPassThrough, HeaderPointsIntoItsOwnBlockAndSense) {
    PassThroughRequest request;
    std::array<std::uint8_t, 9> data{};
    BuildPassThrough(request, VendorCommand::Read, data);
    EXPECT_EQ(request.Header.cmdp, request.Block.data());
    EXPECT_EQ(request.Header.sbp, request.Sense.data());
    EXPECT_EQ(request.Header.cmd_len, 16);
    EXPECT_EQ(request.Header.iovec_count, 0);
    EXPECT_EQ(request.Header.flags, 0u);
    // Building again over a used request leaves nothing of the old one behind.
    request.Sense.fill(0x70);
    BuildPassThrough(request, VendorCommand::Write, {});
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
        if (!record.GenericNode.empty()) {
            EXPECT_EQ(record.GenericNode.rfind("/dev/", 0), 0u) << record.GenericNode;
        }
    }
}

TEST(RealKernel, MonitorDispatchNeverBlocks) {
    int calls = 0;
    LinuxUsbWatch monitor([&] { ++calls; });
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
