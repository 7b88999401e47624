#pragma once
// The USB side of the gadget: one FunctionFS function with a mass-storage interface
// (class 8, SCSI transparent, bulk-only) and two bulk endpoints, in a configfs gadget that
// the test scripts have made. Joining and leaving the bus is done by writing the UDC's
// name or an empty line into the gadget's UDC file, which the host sees as a real plug and
// unplug.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <thread>

namespace radio_gadget {

class FunctionFs {
public:
    // mountPoint: where the function's FunctionFS instance is mounted. Writes the
    // descriptors and strings and opens both bulk endpoints. Throws std::runtime_error.
    explicit FunctionFs(const std::filesystem::path& mountPoint);
    ~FunctionFs();
    FunctionFs(const FunctionFs&) = delete;
    FunctionFs& operator=(const FunctionFs&) = delete;

    // Blocking bulk transfers. A transfer cut short by the bus going away (or any other
    // error) returns false; the next call waits until the host has configured us again.
    bool ReadExactly(std::span<std::uint8_t> buffer);
    bool WriteAll(std::span<const std::uint8_t> data);
    // One transfer of at most buffer.size() bytes; how many came, or -1.
    long ReadSome(std::span<std::uint8_t> buffer);

    // Bulk-only mass storage resets seen on the control endpoint.
    std::uint32_t Resets() const { return resets_.load(); }

private:
    void ServeControl();

    int ep0_ = -1;
    int in_ = -1;   // bulk IN (device to host)
    int out_ = -1;  // bulk OUT (host to device)
    std::atomic<std::uint32_t> resets_{0};
    std::atomic<bool> stopping_{false};
    std::thread control_;
};

// The gadget's UDC file: binding it to a UDC plugs the device in.
class Bus {
public:
    Bus(std::filesystem::path udcFile, std::string udcName);
    void Join();   // throws std::runtime_error when the kernel refuses
    void Leave();  // throws std::runtime_error when the kernel refuses
    bool Joined() const { return joined_; }

private:
    void WriteUdc(const std::string& text);
    std::filesystem::path udcFile_;
    std::string udcName_;
    bool joined_ = false;
};

}  // namespace radio_gadget
