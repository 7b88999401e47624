#include "function_fs.h"

#include <endian.h>
#include <fcntl.h>
#include <linux/usb/ch9.h>
#include <linux/usb/functionfs.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace radio_gadget {
namespace {

[[noreturn]] void Fail(const std::string& what) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

struct Endpoints {
    usb_interface_descriptor Interface;
    usb_endpoint_descriptor_no_audio In;
    usb_endpoint_descriptor_no_audio Out;
} __attribute__((packed));

Endpoints MassStorageInterface(std::uint16_t maxPacket) {
    Endpoints e{};
    e.Interface.bLength = sizeof(e.Interface);
    e.Interface.bDescriptorType = USB_DT_INTERFACE;
    e.Interface.bNumEndpoints = 2;
    e.Interface.bInterfaceClass = USB_CLASS_MASS_STORAGE;
    e.Interface.bInterfaceSubClass = 0x06;  // SCSI transparent command set
    e.Interface.bInterfaceProtocol = 0x50;  // bulk-only transport
    e.Interface.iInterface = 1;
    e.In.bLength = sizeof(e.In);
    e.In.bDescriptorType = USB_DT_ENDPOINT;
    e.In.bEndpointAddress = 1 | USB_DIR_IN;
    e.In.bmAttributes = USB_ENDPOINT_XFER_BULK;
    e.In.wMaxPacketSize = htole16(maxPacket);
    e.Out = e.In;
    e.Out.bEndpointAddress = 2 | USB_DIR_OUT;
    return e;
}

struct Descriptors {
    usb_functionfs_descs_head_v2 Header;
    __le32 FullSpeedCount;
    __le32 HighSpeedCount;
    Endpoints FullSpeed;
    Endpoints HighSpeed;
} __attribute__((packed));

constexpr char InterfaceName[] = "Radio";
struct Strings {
    usb_functionfs_strings_head Header;
    __le16 Language;
    char Name[sizeof(InterfaceName)];
} __attribute__((packed));

void WriteWhole(int fd, const void* data, std::size_t size, const char* what) {
    const ssize_t n = write(fd, data, size);
    if (n != static_cast<ssize_t>(size)) Fail(what);
}

// Wakes the control thread out of its blocking read at shutdown.
void IgnoreSignal(int) {}

}  // namespace

FunctionFs::FunctionFs(const std::filesystem::path& mountPoint) {
    ep0_ = open((mountPoint / "ep0").c_str(), O_RDWR);
    if (ep0_ < 0) Fail("open " + (mountPoint / "ep0").string());

    Descriptors d{};
    d.Header.magic = htole32(FUNCTIONFS_DESCRIPTORS_MAGIC_V2);
    d.Header.length = htole32(sizeof(d));
    d.Header.flags = htole32(FUNCTIONFS_HAS_FS_DESC | FUNCTIONFS_HAS_HS_DESC);
    d.FullSpeedCount = htole32(3);
    d.HighSpeedCount = htole32(3);
    d.FullSpeed = MassStorageInterface(64);
    d.HighSpeed = MassStorageInterface(512);
    WriteWhole(ep0_, &d, sizeof(d), "write FunctionFS descriptors");

    Strings s{};
    s.Header.magic = htole32(FUNCTIONFS_STRINGS_MAGIC);
    s.Header.length = htole32(sizeof(s));
    s.Header.str_count = htole32(1);
    s.Header.lang_count = htole32(1);
    s.Language = htole16(0x0409);
    std::memcpy(s.Name, InterfaceName, sizeof(InterfaceName));
    WriteWhole(ep0_, &s, sizeof(s), "write FunctionFS strings");

    in_ = open((mountPoint / "ep1").c_str(), O_RDWR);
    if (in_ < 0) Fail("open ep1");
    out_ = open((mountPoint / "ep2").c_str(), O_RDWR);
    if (out_ < 0) Fail("open ep2");

    struct sigaction action {};
    action.sa_handler = IgnoreSignal;
    sigaction(SIGUSR1, &action, nullptr);
    control_ = std::thread([this] { ServeControl(); });
}

FunctionFs::~FunctionFs() {
    stopping_ = true;
    if (control_.joinable()) {
        pthread_kill(control_.native_handle(), SIGUSR1);
        control_.join();
    }
    for (int fd : {in_, out_, ep0_})
        if (fd >= 0) close(fd);
}

void FunctionFs::ServeControl() {
    usb_functionfs_event events[8];
    while (!stopping_) {
        const ssize_t n = read(ep0_, events, sizeof(events));
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            return;
        }
        for (std::size_t i = 0; i < static_cast<std::size_t>(n) / sizeof(events[0]); ++i) {
            if (events[i].type != FUNCTIONFS_SETUP) continue;
            const usb_ctrlrequest& setup = events[i].u.setup;
            const bool in = (setup.bRequestType & USB_DIR_IN) != 0;
            const bool classRequest = (setup.bRequestType & USB_TYPE_MASK) == USB_TYPE_CLASS;
            if (classRequest && in && setup.bRequest == 0xFE) {  // Get Max LUN: one LUN
                const std::uint8_t maxLun = 0;
                (void)!write(ep0_, &maxLun, 1);
            } else if (classRequest && !in && setup.bRequest == 0xFF) {  // bulk-only reset
                ++resets_;
                (void)!read(ep0_, nullptr, 0);
            } else if (in) {
                (void)!read(ep0_, nullptr, 0);  // the wrong direction stalls the request
            } else {
                (void)!write(ep0_, nullptr, 0);
            }
        }
    }
}

long FunctionFs::ReadSome(std::span<std::uint8_t> buffer) {
    for (;;) {
        const ssize_t n = read(out_, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        return n;
    }
}

bool FunctionFs::ReadExactly(std::span<std::uint8_t> buffer) {
    std::size_t done = 0;
    while (done < buffer.size()) {
        const long n = ReadSome(buffer.subspan(done));
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool FunctionFs::WriteAll(std::span<const std::uint8_t> data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = write(in_, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

Bus::Bus(std::filesystem::path udcFile, std::string udcName)
    : udcFile_(std::move(udcFile)), udcName_(std::move(udcName)) {}

void Bus::WriteUdc(const std::string& text) {
    const int fd = open(udcFile_.c_str(), O_WRONLY);
    if (fd < 0) Fail("open " + udcFile_.string());
    const std::string line = text + "\n";
    const ssize_t n = write(fd, line.data(), line.size());
    const int saved = errno;
    close(fd);
    errno = saved;
    if (n != static_cast<ssize_t>(line.size())) Fail("write '" + text + "' to " + udcFile_.string());
}

void Bus::Join() {
    WriteUdc(udcName_);
    joined_ = true;
}

void Bus::Leave() {
    WriteUdc("");
    joined_ = false;
}

}  // namespace radio_gadget
