// The radio helper: the requests it performs, how it judges a node from sysfs, its wire
// format, and the real program started as the window and quenfall-cli start it, against
// nodes that are not the radio and against programs that die or never answer.
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/drive_location.h"
#include "helper/client/linux/helper_process.h"
#include "helper/helper_request_check.h"
#include "helper/server/linux/radio_node_check.h"
#include "helper/server/linux/user_namespace.h"

namespace quenfall::helper {
namespace {

namespace fs = std::filesystem;

Request Open(std::string node) {
    Request r;
    r.Type = RequestType::Open;
    r.Node = std::move(node);
    return r;
}
Request Write(std::size_t n) {
    Request r;
    r.Type = RequestType::Write;
    r.Data.assign(n, 0xA1);
    return r;
}
Request Read(std::uint32_t n) {
    Request r;
    r.Type = RequestType::Read;
    r.ReadLength = n;
    return r;
}

TEST(HelperRequests, OneNodeUnderDevThenOnlyTheDialoguesCommands) {
    EXPECT_EQ(WhyRequestRefused(Open("/dev/sg1"), false), "");
    EXPECT_EQ(WhyRequestRefused(Open("/dev/disk/by-id/usb-STM_microSD_Flash-0:0"), false), "");
    EXPECT_NE(WhyRequestRefused(Open("/dev/sg1"), true), "");  // one node per helper
    for (const char* path : {"", "sg1", "/tmp/disk", "/dev/", "/dev/../etc/shadow", "/dev/./sg1",
                             "/dev//sg1", "/devices/sg1", "/dev/sg1/..", "/proc/self/fd/0"}) {
        EXPECT_NE(WhyRequestRefused(Open(path), false), "") << path;
    }
    EXPECT_NE(WhyRequestRefused(Open(std::string("/dev/sg1\0/x", 11)), false), "");
    EXPECT_NE(WhyRequestRefused(Open("/dev/" + std::string(251, 'a')), false), "");
    EXPECT_EQ(WhyRequestRefused(Open("/dev/" + std::string(250, 'a')), false), "");

    // Frames: exit 8, enter 10..22 (0 to 12 sections), block 2065.
    for (std::size_t n : {8, 10, 16, 22, 2065}) EXPECT_EQ(WhyRequestRefused(Write(n), true), "") << n;
    for (std::size_t n : {0, 1, 7, 9, 23, 100, 2064, 2066, 4096}) {
        EXPECT_EQ(WhyRequestRefused(Write(n), true), "a write of " + std::to_string(n) + " bytes is not a request frame");
    }
    for (std::uint32_t n : {1u, 9u, 4096u}) EXPECT_EQ(WhyRequestRefused(Read(n), true), "") << n;
    for (std::uint32_t n : {0u, 4097u, 65535u}) EXPECT_NE(WhyRequestRefused(Read(n), true), "") << n;

    // Nothing but an open before a node is open; nothing unknown ever.
    EXPECT_EQ(WhyRequestRefused(Write(8), false), "no device is open");
    EXPECT_EQ(WhyRequestRefused(Read(9), false), "no device is open");
    EXPECT_NE(WhyRequestRefused(Request{}, true), "");
    // A further connection is the Windows helper's alone to make: this one makes none.
    Request channel;
    channel.Type = RequestType::Channel;
    channel.Node = "/dev/sg1";
    EXPECT_NE(WhyRequestRefused(channel, false), "");
    EXPECT_NE(WhyRequestRefused(channel, true), "");
}

TEST(HelperProtocol, RequestsAndRepliesSurviveTheWireAndJunkIsMalformed) {
    for (const Request& r : {Open("/dev/sg3"), Write(2065), Read(9)}) {
        const Request back = DecodeRequest(EncodeRequest(r));
        EXPECT_EQ(back.Type, r.Type);
        EXPECT_EQ(back.Node, r.Node);
        EXPECT_EQ(back.Data, r.Data);
        EXPECT_EQ(back.ReadLength, r.ReadLength);
    }
    EXPECT_EQ(EncodeRequest(Read(9)), (std::vector<std::uint8_t>{'R', 0, 9}));
    EXPECT_EQ(DecodeRequest(std::vector<std::uint8_t>{'R', 0}).Type, RequestType::Malformed);
    EXPECT_EQ(DecodeRequest(std::vector<std::uint8_t>{'X', 1, 2}).Type, RequestType::Malformed);
    EXPECT_EQ(DecodeRequest({}).Type, RequestType::Malformed);

    Reply reply;
    reply.Result = Outcome::SystemError;
    reply.Error = 1;
    reply.Text = "why";
    reply.Data = {0xA1, 0, 0xA4};
    const auto body = EncodeReply(reply);
    EXPECT_EQ(body, (std::vector<std::uint8_t>{'r', 1, 0, 0, 0, 1, 0, 3, 0, 0, 0, 0, 0, 0, 'w', 'h', 'y', 0xA1, 0,
                                               0xA4}));
    const auto back = DecodeReply(body);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->Text, "why");
    EXPECT_EQ(back->Data, reply.Data);

    // A command's status travels with it: SCSI status, host and driver status, the sense.
    Reply status;
    status.ScsiStatus = 0x02;
    status.HostStatus = 0x0007;
    status.DriverStatus = 0x0108;
    status.Sense = {0x70, 0x00, 0x05};
    status.Data = {0xEE};
    const auto statusBody = EncodeReply(status);
    EXPECT_EQ(statusBody, (std::vector<std::uint8_t>{'r', 0, 0, 0, 0, 0, 0, 0, 0x02, 0x00, 0x07, 0x01, 0x08, 3,
                                                     0x70, 0x00, 0x05, 0xEE}));
    Reply into;
    into.Sense = {1, 2, 3, 4, 5, 6, 7, 8, 9};  // what an earlier reply left is replaced
    ASSERT_TRUE(DecodeReplyInto(statusBody, into));
    EXPECT_EQ(into.ScsiStatus, 0x02);
    EXPECT_EQ(into.HostStatus, 0x0007);
    EXPECT_EQ(into.DriverStatus, 0x0108);
    EXPECT_EQ(into.Sense, status.Sense);
    EXPECT_EQ(into.Data, status.Data);
    auto longSense = statusBody;
    longSense[13] = 33;  // more sense than a command can have
    EXPECT_FALSE(DecodeReply(longSense));
    auto cut = body;
    cut[7] = 20;  // a text longer than the body
    EXPECT_FALSE(DecodeReply(cut));
    cut = body;
    cut[1] = 9;  // no such outcome
    EXPECT_FALSE(DecodeReply(cut));

    EXPECT_EQ(AnnouncedLength(LengthPrefix(MaxBodyLength)), MaxBodyLength);
    EXPECT_FALSE(AnnouncedLength(LengthPrefix(MaxBodyLength + 1)));
    EXPECT_FALSE(AnnouncedLength(LengthPrefix(0)));
    EXPECT_EQ(LengthPrefix(0x01020304), (std::array<std::uint8_t, 4>{1, 2, 3, 4}));
    ASSERT_TRUE(DecodeHello(EncodeHello({ProtocolVersion, true})));
    EXPECT_TRUE(DecodeHello(EncodeHello({ProtocolVersion, true}))->HasRawIo);
}

// A sysfs tree as the kernel lays it out for a USB drive with its SCSI device, disk and
// generic node; /dev/char and /dev/block hold links to the devices, as in /sys.
class FakeSysfs : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("quenfall-sysfs-" + std::to_string(::getpid()));
        fs::remove_all(root);
        scsi = root / "devices/pci0000:00/usb1/1-1/1-1:1.0/host6/target6:0:0/6:0:0:0";
        Put(scsi / "type", "0\n");
        Put(scsi / "vendor", "STM     \n");
        Put(scsi / "model", "microSD Flash   \n");
        Put(scsi / "block/sdb/removable", "1\n");
        Put(scsi / "block/sdb/dev", "8:16\n");
        Put(scsi / "block/sdb/sdb1/partition", "1\n");
        Put(scsi / "block/sdb/sdb1/dev", "8:17\n");
        Put(scsi / "scsi_generic/sg1/dev", "21:1\n");
        fs::create_directory_symlink(scsi / "", scsi / "scsi_generic/sg1/device");
        fs::create_directory_symlink(scsi / "", scsi / "block/sdb/device");
        fs::create_directories(root / "dev/char");
        fs::create_directories(root / "dev/block");
        fs::create_directory_symlink(scsi / "scsi_generic/sg1", root / "dev/char/21:1");
        fs::create_directory_symlink(scsi / "block/sdb", root / "dev/block/8:16");
        fs::create_directory_symlink(scsi / "block/sdb/sdb1", root / "dev/block/8:17");
    }
    void TearDown() override { fs::remove_all(root); }
    static void Put(const fs::path& file, const std::string& text) {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << text;
    }
    std::string Why(NodeKind kind, unsigned major, unsigned minor) {
        return WhyNotTheRadio(ReadRadioNodeFacts(root, kind, major, minor, SysfsSource::AnyFileSystem));
    }
    fs::path root, scsi;
};

TEST_F(FakeSysfs, TheRadiosGenericNodeAndWholeDiskPass) {
    const RadioNodeFacts generic = ReadRadioNodeFacts(root, NodeKind::ScsiGeneric, 21, 1, SysfsSource::AnyFileSystem);
    EXPECT_EQ(generic.Vendor, "STM     ");  // blanks kept, line end gone
    EXPECT_EQ(generic.Removable, "1");
    EXPECT_EQ(generic.Disks, 1);
    EXPECT_EQ(WhyNotTheRadio(generic), "");
    EXPECT_EQ(Why(NodeKind::Block, 8, 16), "");
    // Either node tells where the disk sits, and so the USB port the radio hangs from.
    const RadioNodeFacts disk = ReadRadioNodeFacts(root, NodeKind::Block, 8, 16, SysfsSource::AnyFileSystem);
    EXPECT_EQ(disk.DiskPath, "/devices/pci0000:00/usb1/1-1/1-1:1.0/host6/target6:0:0/6:0:0:0/block/sdb");
    EXPECT_EQ(generic.DiskPath, disk.DiskPath);
    EXPECT_EQ(LocationFromDevPath(generic.DiskPath), "1-1");
}

TEST_F(FakeSysfs, AnythingElseIsRefusedWithItsReason) {
    EXPECT_EQ(Why(NodeKind::Block, 8, 17), "block device 8:17 is a partition, not a whole disk");
    EXPECT_EQ(Why(NodeKind::Other, 1, 3), "device 1:3 is neither a disk nor a SCSI generic node");
    EXPECT_NE(Why(NodeKind::ScsiGeneric, 21, 9), "");  // no such device
    EXPECT_NE(Why(NodeKind::Block, 8, 32), "");

    Put(scsi / "model", "microSD Flash\n");  // blanks matter
    EXPECT_EQ(Why(NodeKind::ScsiGeneric, 21, 1),
              "SCSI generic device 21:1 is \"STM     \" \"microSD Flash\", not the radio");
    Put(scsi / "model", "microSD Flash   \n");
    Put(scsi / "block/sdb/removable", "0\n");
    EXPECT_EQ(Why(NodeKind::ScsiGeneric, 21, 1), "SCSI generic device 21:1 is not a removable disk");
    Put(scsi / "block/sdb/removable", "1\n");
    Put(scsi / "type", "5\n");  // an optical drive claiming the identity
    EXPECT_EQ(Why(NodeKind::ScsiGeneric, 21, 1), "SCSI generic device 21:1 is not a SCSI disk");
    Put(scsi / "type", "0\n");
    fs::remove_all(scsi / "block");  // the SCSI device without its disk
    EXPECT_EQ(Why(NodeKind::ScsiGeneric, 21, 1), "SCSI generic device 21:1 belongs to no disk");
}

TEST_F(FakeSysfs, ADescriptionThatIsNotTheKernelsIsNotBelieved) {
    // Under the device number, another device's directory (a bind mount, say): the radio's
    // disk described as loop0.
    fs::create_directory_symlink(scsi / "block/sdb", root / "dev/block/7:0");
    EXPECT_EQ(Why(NodeKind::Block, 7, 0), "block device 7:0: sysfs describes device 8:16 under 7:0");
    fs::remove(scsi / "scsi_generic/sg1/dev");
    EXPECT_EQ(Why(NodeKind::ScsiGeneric, 21, 1), "SCSI generic device 21:1: sysfs describes device nothing under 21:1");
    Put(scsi / "scsi_generic/sg1/dev", "21:1\n");

    // The same tree, perfect in every file, is not sysfs: the helper believes none of it.
    const RadioNodeFacts forged = ReadRadioNodeFacts(root, NodeKind::Block, 8, 16, SysfsSource::KernelOnly);
    EXPECT_EQ(forged.Vendor, "");  // not even read
    EXPECT_EQ(WhyNotTheRadio(forged), "block device 8:16: " + (root / "dev/block").string() + " is not on sysfs");
    EXPECT_NE(WhyNotTheRadio(ReadRadioNodeFacts(root, NodeKind::ScsiGeneric, 21, 1, SysfsSource::KernelOnly)), "");
}

// The first block device that has a node in /dev, as (name, number); empty when none has.
std::pair<std::string, std::string> SomeBlockNode() {
    std::error_code error;
    for (fs::directory_iterator it("/sys/dev/block", error), end; !error && it != end; it.increment(error)) {
        const std::string number = it->path().filename();
        const std::string name = fs::canonical(it->path(), error).filename();
        struct stat status {};
        if (!error && ::stat(("/dev/" + name).c_str(), &status) == 0 && S_ISBLK(status.st_mode)) {
            return {"/dev/" + name, number};
        }
    }
    return {};
}

TEST(RealSysfs, TheKernelsOwnDescriptionIsBelieved) {
    const auto [node, number] = SomeBlockNode();
    if (node.empty()) GTEST_SKIP() << "no block device with a node in /dev on this machine";
    struct stat status {};
    ASSERT_EQ(::stat(node.c_str(), &status), 0);
    const RadioNodeFacts facts = ReadRadioNodeFacts("/sys", NodeKind::Block, major(status.st_rdev),
                                                    minor(status.st_rdev), SysfsSource::KernelOnly);
    EXPECT_EQ(facts.Untrusted, "") << node;
    EXPECT_NE(facts.Removable, "") << node;
}

TEST(UserNamespace, OnlyTheIdentityMapOfEveryUserIsTheSystemsOwn) {
    EXPECT_TRUE(IsInitialUidMap("         0          0 4294967295\n"));
    EXPECT_TRUE(IsInitialUidMap("0 0 4294967295"));
    for (const char* map : {"", "\n", "         0       1000          1\n",  // unshare -Ur
                            "         0     100000      65536\n",              // a container
                            "         0          0 4294967294\n",
                            "         0          0 4294967295\n      1000       1000          1\n",
                            "0 0", "0 0 4294967295 junk", "1 1 4294967295"}) {
        EXPECT_FALSE(IsInitialUidMap(map)) << map;
    }
    // The tests do not run inside unshare: this process is in the system's namespace,
    // unless the whole test run is in a container, which this then says.
    std::ifstream in("/proc/self/uid_map");
    const std::string map((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(InInitialUserNamespace(), IsInitialUidMap(map)) << map;
}

// --- The real program ---

HelperDeadlines Short() { return {std::chrono::milliseconds(3000), std::chrono::milliseconds(400)}; }

TEST(RealHelper, RefusesWhatIsNotTheRadioAndEveryCommandBeforeIt) {
    HelperStart start = StartHelperProcess(QUENFALL_TEST_HELPER, Short());
    ASSERT_TRUE(start.Connection) << start.Problem;
    EXPECT_EQ(start.Greeting.Version, ProtocolVersion);
    auto& helper = *start.Connection;

    auto reply = helper.Exchange(Write(8));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->Result, Outcome::Refused);
    EXPECT_EQ(reply->Text, "no device is open");

    reply = helper.Exchange(Open("/tmp/anything"));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->Result, Outcome::Refused);

    reply = helper.Exchange(Open("/dev/no-such-node"));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->Result, Outcome::SystemError);
    EXPECT_EQ(reply->Error, ENOENT);

    reply = helper.Exchange(Open("/dev/null"));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->Result, Outcome::NotTheRadio);
    EXPECT_EQ(reply->Text, "/dev/null: device 1:3 is neither a disk nor a SCSI generic node");

    // Still nothing open, so still no command; the helper keeps answering.
    reply = helper.Exchange(Read(9));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->Result, Outcome::Refused);
}

// Files and links under /dev/shm, and a target outside /dev, each watched for any open.
class NotADevice : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::path("/dev/shm") / ("quenfall-" + std::to_string(::getpid()));
        outside = fs::temp_directory_path() / ("quenfall-outside-" + std::to_string(::getpid()));
        std::error_code error;
        fs::create_directories(dir, error);
        if (error) GTEST_SKIP() << "cannot make " << dir << ": " << error.message();
        fs::create_directories(outside);
        std::ofstream(dir / "file") << "data";
        std::ofstream(outside / "target") << "data";
        ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
        fs::create_symlink(outside / "target", dir / "link");
        fs::create_symlink(dir / "fifo", dir / "fifo-link");
        fs::create_directory_symlink(outside, dir / "outside");
        watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        ASSERT_GE(watch, 0);
        for (const fs::path& p : {dir / "file", dir / "fifo", outside / "target"}) {
            ASSERT_GE(::inotify_add_watch(watch, p.c_str(), IN_OPEN | IN_ACCESS | IN_MODIFY), 0) << p;
        }
    }
    void TearDown() override {
        if (watch >= 0) ::close(watch);
        fs::remove_all(dir);
        fs::remove_all(outside);
    }
    // How many events the watch has seen.
    int Events() {
        alignas(inotify_event) char buffer[4096];
        int events = 0;
        ssize_t got;
        while ((got = ::read(watch, buffer, sizeof buffer)) > 0) {
            for (ssize_t at = 0; at < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                ++events;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        return events;
    }
    fs::path dir, outside;
    int watch = -1;
};

TEST_F(NotADevice, TheHelperNamesButNeverOpensIt) {
    // The watch works: an open of our own is seen.
    ::close(::open((dir / "file").c_str(), O_RDONLY));
    ASSERT_EQ(Events(), 1);

    HelperStart start = StartHelperProcess(QUENFALL_TEST_HELPER, Short());
    ASSERT_TRUE(start.Connection) << start.Problem;
    std::vector<std::string> nodes = {(dir / "file").string(),      (dir / "fifo").string(),
                                      (dir / "link").string(),      (dir / "fifo-link").string(),
                                      (dir / "outside/target").string()};
    // Where the machine has them: links to the helper's own descriptors, and devices that
    // do something when opened (a new pseudo-terminal, a FUSE connection).
    for (const char* node : {"/dev/fd/0", "/dev/stdin", "/dev/ptmx", "/dev/fuse"}) {
        std::error_code error;
        if (fs::exists(fs::symlink_status(node, error))) nodes.push_back(node);
    }
    for (const std::string& node : nodes) {
        const auto reply = start.Connection->Exchange(Open(node));
        ASSERT_TRUE(reply) << node;
        EXPECT_EQ(reply->Result, Outcome::NotTheRadio) << node;
        EXPECT_TRUE(reply->Text.rfind(node + ": ", 0) == 0 &&
                    reply->Text.find(" is neither a disk nor a SCSI generic node") != std::string::npos)
            << node << ": " << reply->Text;
    }
    start.Connection.reset();
    EXPECT_EQ(Events(), 0) << "the helper opened a file, FIFO or symlink target it refused";
}

TEST(RealHelper, InAUserNamespaceWithAForgedSysfsItRefusesAndClaimsNoCapability) {
    const auto [node, number] = SomeBlockNode();
    if (node.empty()) GTEST_SKIP() << "no block device with a node in /dev to pass off as the radio";
    if (std::system("/usr/bin/unshare -Urm /bin/mount -t tmpfs probe /sys/dev/block >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "this machine lets no user namespace be made, or no tmpfs be mounted over /sys in one";
    }
    // Over /sys/dev/block, a tree that says the node is the radio's removable disk.
    const fs::path script = fs::temp_directory_path() / ("quenfall-userns-" + std::to_string(::getpid()));
    const std::string entry = "/sys/dev/block/" + number;
    std::ofstream(script) << "#!/bin/sh\n"
                          << "exec /usr/bin/unshare -Urm /bin/sh -c '"
                          << "/bin/mount -t tmpfs forged /sys/dev/block && /bin/mkdir -p " << entry << "/device && "
                          << "printf \"1\\n\" > " << entry << "/removable && "
                          << "printf \"" << number << "\\n\" > " << entry << "/dev && "
                          << "printf \"0\\n\" > " << entry << "/device/type && "
                          << "printf \"STM     \\n\" > " << entry << "/device/vendor && "
                          << "printf \"microSD Flash   \\n\" > " << entry << "/device/model && "
                          << "exec " << QUENFALL_TEST_HELPER << "'\n";
    fs::permissions(script, fs::perms::owner_all);
    HelperStart start = StartHelperProcess(script.string(), Short());
    fs::remove(script);
    ASSERT_TRUE(start.Connection) << start.Problem;
    EXPECT_FALSE(start.Greeting.HasRawIo);  // root of its namespace, with every capability there
    const auto reply = start.Connection->Exchange(Open(node));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->Result, Outcome::Refused);
    EXPECT_NE(reply->Text.find("user namespace"), std::string::npos) << reply->Text;
    const auto command = start.Connection->Exchange(Write(8));
    ASSERT_TRUE(command);
    EXPECT_EQ(command->Result, Outcome::Refused);
}

TEST(RealHelper, TheBuildTreeHoldsItWhereTheProgramsFindIt) {
    // quenfall-cli and quenfall resolve the helper from their own folder, as installed.
    const fs::path cli = QUENFALL_TEST_CLI;
    const fs::path found = (cli.parent_path() / QUENFALL_TEST_HELPER_FROM_BINDIR).lexically_normal();
    EXPECT_TRUE(fs::equivalent(found, QUENFALL_TEST_HELPER)) << found;
}

// Stand-ins for a broken helper: shell scripts in a temporary folder.
class BrokenHelper : public ::testing::Test {
protected:
    std::string Script(const std::string& name, const std::string& body) {
        const fs::path path = fs::temp_directory_path() / ("quenfall-" + name + "-" + std::to_string(::getpid()));
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        fs::permissions(path, fs::perms::owner_all);
        made.push_back(path);
        return path.string();
    }
    void TearDown() override {
        for (const auto& p : made) fs::remove(p);
    }
    std::vector<fs::path> made;
};

// The greeting of a helper without the capability: length 3, 'H', this protocol's version
// (in octal, as printf reads it), flags 0.
const std::string Greeting =
    "printf '\\000\\000\\000\\003H\\" + std::to_string(ProtocolVersion / 64) +
    std::to_string(ProtocolVersion / 8 % 8) + std::to_string(ProtocolVersion % 8) + "\\000'";

TEST_F(BrokenHelper, AMissingOrFailingProgramIsAProblemInWords) {
    HelperStart start = StartHelperProcess("/nonexistent/quenfall-radio-helper", Short());
    EXPECT_FALSE(start.Connection);
    EXPECT_EQ(start.Problem, std::strerror(ENOENT));

    start = StartHelperProcess(Script("exits", "exit 3"), Short());
    EXPECT_FALSE(start.Connection);
    EXPECT_EQ(start.Problem, "it ended or did not answer");
}

TEST_F(BrokenHelper, ItsStandardErrorIsNullEvenWhenOursIsClosed) {
    // With our standard error closed, the socket takes descriptor 2; the helper must not
    // inherit a closed or borrowed descriptor 2 that its node could then land on.
    const fs::path seen = fs::temp_directory_path() / ("quenfall-fd2-" + std::to_string(::getpid()));
    const std::string helper = Script("fd2", "/bin/readlink /proc/self/fd/2 > " + seen.string() + "; " + Greeting);
    made.push_back(seen);
    const int saved = ::dup(2);
    ASSERT_GE(saved, 0);
    ::close(2);
    HelperStart start = StartHelperProcess(helper, Short());
    ::dup2(saved, 2);
    ::close(saved);
    ASSERT_TRUE(start.Connection) << start.Problem;
    std::ifstream in(seen);
    std::string target;
    std::getline(in, target);
    EXPECT_EQ(target, "/dev/null");
}

TEST_F(BrokenHelper, SilenceIsSeenAtTheDeadlineNotWaitedFor) {
    using namespace std::chrono;
    auto began = steady_clock::now();
    HelperStart start = StartHelperProcess(Script("mute", "exec sleep 30"), {milliseconds(300), milliseconds(300)});
    EXPECT_FALSE(start.Connection);
    EXPECT_LT(steady_clock::now() - began, seconds(5));

    // Greets, then never answers: the exchange gives nothing and so does every later one.
    start = StartHelperProcess(Script("hangs", std::string(Greeting) + "; exec sleep 30"), Short());
    ASSERT_TRUE(start.Connection) << start.Problem;
    EXPECT_FALSE(start.Greeting.HasRawIo);
    began = steady_clock::now();
    EXPECT_FALSE(start.Connection->Exchange(Read(9)));
    EXPECT_FALSE(start.Connection->Exchange(Read(9)));
    EXPECT_LT(steady_clock::now() - began, seconds(5));
}

TEST_F(BrokenHelper, AHelperThatDiesMidwayIsGone) {
    using namespace std::chrono;
    HelperStart start = StartHelperProcess(Script("dies", std::string(Greeting) + "; exit 0"),
                                           {milliseconds(3000), milliseconds(20000)});
    ASSERT_TRUE(start.Connection) << start.Problem;
    const auto began = steady_clock::now();
    EXPECT_FALSE(start.Connection->Exchange(Open("/dev/sg1")));
    EXPECT_LT(steady_clock::now() - began, seconds(10));  // the end of the stream, not the deadline
}

}  // namespace
}  // namespace quenfall::helper
