// The real Linux command path allocates nothing per tick: an upload's ticks go through the
// helper command channel and the helper's socket connection (the code every real run uses)
// to a helper stand-in at the other end of a socket pair, while the test thread's calls of
// operator new are counted. The stand-in runs on a thread of its own, which is not counted.
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <new>
#include <thread>

#include "helper/client/linux/helper_process.h"
#include "helper/helper_protocol.h"
#include "platform/linux/linux_command_channel.h"
#include "package/package_loader.h"
#include "package/package_writer.h"
#include "protocol/command_frame.h"
#include "upgrade/upgrade_sequencer.h"
#include "upgrade/virtual_clock.h"
#include "run_rig.h"

namespace {
thread_local bool counting = false;
thread_local long allocations = 0;
}  // namespace

void* operator new(std::size_t size) {
    if (counting) ++allocations;
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace quenfall {
namespace {

bool ReadAll(int fd, std::uint8_t* into, std::size_t n) {
    while (n > 0) {
        const ssize_t got = ::read(fd, into, n);
        if (got <= 0) return false;
        into += got;
        n -= static_cast<std::size_t>(got);
    }
    return true;
}

bool WriteAll(int fd, const std::uint8_t* from, std::size_t n) {
    while (n > 0) {
        const ssize_t put = ::write(fd, from, n);
        if (put <= 0) return false;
        from += put;
        n -= static_cast<std::size_t>(put);
    }
    return true;
}

// The helper's side: answers every request at once, as a radio in boot mode would, telling
// the requests apart by their length. Ends when the client closes its end.
void ServeAsRadio(int fd, ProfileSelection selection) {
    const auto enter = BuildResponse(ResponseCode(selection, CommandKind::EnterA), StatusInBootMode);
    const auto block = BuildResponse(ResponseCode(selection, CommandKind::Block), StatusAck1);
    const auto exit = BuildResponse(ResponseCode(selection, CommandKind::Exit), StatusAck1);
    const std::array<std::uint8_t, ResponseFrameLength>* answer = &enter;
    for (;;) {
        std::array<std::uint8_t, helper::LengthPrefixSize> prefix{};
        if (!ReadAll(fd, prefix.data(), prefix.size())) break;
        const auto length = helper::AnnouncedLength(prefix);
        if (!length) break;
        std::vector<std::uint8_t> body(*length);
        if (!ReadAll(fd, body.data(), body.size())) break;
        const helper::Request request = helper::DecodeRequest(body);
        helper::Reply reply;
        if (request.Type == helper::RequestType::Write) {
            const std::size_t n = request.Data.size();
            answer = n == BlockFrameLength ? &block : n == ExitFrameLength ? &exit : &enter;
        } else {
            reply.Data.assign(request.ReadLength, 0);
            std::copy_n(answer->begin(), std::min<std::size_t>(answer->size(), reply.Data.size()), reply.Data.begin());
        }
        const auto encoded = helper::EncodeReply(reply);
        const auto replyPrefix = helper::LengthPrefix(encoded.size());
        if (!WriteAll(fd, replyPrefix.data(), replyPrefix.size()) || !WriteAll(fd, encoded.data(), encoded.size())) break;
    }
    ::close(fd);
}

// The radio's drive as the sequencer sees it: one channel over the helper's socket.
class SocketLink : public DeviceLink {
public:
    explicit SocketLink(std::unique_ptr<DeviceChannel> channel) : channel_(std::move(channel)) {}
    std::uint16_t ScanDrives() override { return 1; }
    OpenResult OpenDevice() override { return {std::move(channel_), OpenFailure::None, {}}; }

private:
    std::unique_ptr<DeviceChannel> channel_;
};

using test::QuietView;

TEST(LinuxLinkAllocation, UploadTicksThroughTheHelperSocketAllocateNothing) {
    PackageSpec spec;
    spec.ModelCode = 2;
    spec.ScrambleMode = 1;
    for (std::uint8_t id = 0; id < 2; ++id) spec.Sections.push_back({id, id, std::vector<std::uint8_t>(100000, id)});
    const auto package = LoadPackageImage(WritePackage(spec)).Accepted;
    ASSERT_TRUE(package);

    int ends[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
    std::thread helperSide(ServeAsRadio, ends[1], package->Selection);
    {
        SocketLink link(MakeHelperCommandChannel(helper::ConnectHelperSocket(ends[0], -1), "/dev/sg1"));
        VirtualClock clock;
        QuietView view;
        UpgradeSequencer sequencer(link, view, clock);
        test::HandTimersTo(clock, sequencer);
        sequencer.Button2Click(package);
        clock.RunTicks(4);  // into the upload, its first blocks sent
        ASSERT_TRUE(sequencer.Busy());
        const std::int32_t blocksBefore = sequencer.State().BlocksDone;

        counting = true;
        clock.RunTicks(2 * 80);
        counting = false;
        EXPECT_TRUE(sequencer.Busy());
        EXPECT_GT(sequencer.State().BlocksDone, blocksBefore + 70) << "the ticks went through the socket";
        EXPECT_EQ(sequencer.LastNonGoodOutcomeText(), "");
        EXPECT_EQ(allocations, 0) << "a tick allocated on the real Linux command path";
    }
    helperSide.join();  // the channel closed its end: the stand-in is done
}

}  // namespace
}  // namespace quenfall
