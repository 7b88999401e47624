#pragma once
// A crate of emulated radios on one USB hub, as a service shop plugs them in: the radio of
// `quenfall-cli flash --all --emulate N` and of the tests of runs per radio.
//
// Radio i hangs from hub port i + 1, location "1-1.<i+1>", and carries the USB serial
// "EMULATED-000<i+1>": the same radio in every run, so that the history can follow it, and
// never one a real radio could have. Device names are handed out as the system names
// removable disks, the lowest free name first (by default Linux's "/dev/sda", "/dev/sdb",
// ...; Windows' "\\.\E:", "\\.\F:", ...):
// a radio that restarts into boot mode gives its name up and comes back under the lowest
// name free at that moment, which may be one another radio had before. Only the location
// tells the radios apart across their restarts.
//
// Every link from Connect has a scan of its own and may be used on its own thread beside
// the others; the crate serialises what reaches the radios.
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "emulator/emulated_radio.h"
#include "platform/drive_list_link.h"
#include "platform/removable_disk_names.h"

namespace quenfall {

class EmulatedCrate {
public:
    // naming: the name of the index-th disk present.
    using DiskNaming = std::function<std::string(std::size_t)>;
    explicit EmulatedCrate(std::vector<EmulatedRadioConfig> radios, DiskNaming naming = KernelDiskName);
    ~EmulatedCrate();
    EmulatedCrate(const EmulatedCrate&) = delete;
    EmulatedCrate& operator=(const EmulatedCrate&) = delete;

    std::size_t Size() const;
    static std::string PortLocation(std::size_t index);
    static std::string PortSerial(std::size_t index);

    // A link over the whole crate with a scan of its own.
    std::unique_ptr<DriveListLink> Connect();
    // Each call of the returned function applies what is due and returns how many radios
    // arrived or left since its last call, as a USB notification counter would; with a
    // location, only the radio there counts.
    std::function<int()> UsbEventCounter(const std::string& location = {});
    // Applies what is due by now (radios coming back on the bus).
    void Advance();
    // Pulls radio index's cable / plugs it back in (programming mode), while links of the
    // crate may be in use on other threads.
    void Unplug(std::size_t index);
    void PlugIn(std::size_t index);
    // The radios on the bus now, in device-name order.
    std::vector<RadioDrive> Drives();
    // Every device name radio index has had, in order.
    std::vector<std::string> NodesOf(std::size_t index);

    // The radio itself, to change its misbehaviour or to check it; only while no link of
    // the crate is in use on another thread.
    EmulatedRadio& Radio(std::size_t index);

    struct State;

private:
    std::shared_ptr<State> state_;
};

}  // namespace quenfall
