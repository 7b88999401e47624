// radio-gadget: the emulated radio as a real USB mass-storage device. Run inside the test
// machine, in a configfs gadget whose one function is FunctionFS; the kernel's own
// usb-storage and sd drivers then see a removable disk with the radio's identity, and the
// radio's vendor commands reach the same EmulatedRadio the upgrade tests use.
//
//   radio-gadget --ffs DIR --udc-file FILE --udc NAME --package FILE --report FILE
//                [--vanish-at-block N] [--restart-ms MS] [--stall-read N]
//                [--vendor TEXT --model TEXT] [--removable 0|1]
//
// --vendor, --model: the SCSI identity the disk shows instead of the radio's (blank-padded
// to 8 and 16 characters), for a USB disk that is not the radio; its vendor commands are
// still counted in the report, so a test can show that none reached it.
//
// --removable 0: the disk says its medium is fixed (a USB disk that is not the radio,
// though it may carry the radio's identity).
//
// --stall-read N: the N-th vendor read (counted from 1) gets neither data nor status, as
// from a radio that stopped answering; the host's time-out ends it. The report then says
// how long after that read the next vendor command came (regained_ms): how long the tool
// was held up by the command that got no answer.
//
// The report (rewritten after every command, key=value lines) tells the test what reached
// the radio and whether the sections it kept are the package's.
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "bulk_only.h"
#include "function_fs.h"
#include "package/package_loader.h"
#include "emulator/emulated_radio.h"

namespace {

using namespace radio_gadget;
using std::chrono::milliseconds;

milliseconds Now() {
    return std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now().time_since_epoch());
}

struct Options {
    std::string Ffs, UdcFile, Udc, Package, Report;
    std::optional<std::uint32_t> VanishAtBlock;
    std::optional<std::uint32_t> StallRead;
    milliseconds RestartTime{2000};
    std::string Vendor = "STM     ", Model = "microSD Flash   ";
    bool Removable = true;
};

[[noreturn]] void Usage(const char* why) {
    std::cerr << "radio-gadget: " << why
              << "\nusage: radio-gadget --ffs DIR --udc-file FILE --udc NAME --package FILE"
                 " --report FILE [--vanish-at-block N] [--restart-ms MS] [--stall-read N]"
                 " [--vendor TEXT --model TEXT] [--removable 0|1]\n";
    std::exit(2);
}

Options Parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) Usage(("missing value for " + arg).c_str());
        const std::string value = argv[++i];
        if (arg == "--ffs") o.Ffs = value;
        else if (arg == "--udc-file") o.UdcFile = value;
        else if (arg == "--udc") o.Udc = value;
        else if (arg == "--package") o.Package = value;
        else if (arg == "--report") o.Report = value;
        else if (arg == "--vanish-at-block") o.VanishAtBlock = static_cast<std::uint32_t>(std::stoul(value));
        else if (arg == "--restart-ms") o.RestartTime = milliseconds(std::stoul(value));
        else if (arg == "--stall-read") o.StallRead = static_cast<std::uint32_t>(std::stoul(value));
        else if (arg == "--vendor") o.Vendor = value;
        else if (arg == "--model") o.Model = value;
        else if (arg == "--removable" && (value == "0" || value == "1")) o.Removable = value == "1";
        else Usage(("unknown option " + arg).c_str());
    }
    if (o.Ffs.empty() || o.UdcFile.empty() || o.Udc.empty() || o.Package.empty() || o.Report.empty())
        Usage("--ffs, --udc-file, --udc, --package and --report are needed");
    return o;
}

// The radio behind the vendor commands, through the same channel any DeviceLink user gets.
class RadioCommands : public VendorCommands {
public:
    explicit RadioCommands(quenfall::EmulatedRadio& radio) : radio_(radio) {}
    void Reopen() {
        channel_.reset();
        if (radio_.ScanDrives() > 0) channel_ = radio_.OpenDevice().Channel;
    }
    void Drop() { channel_.reset(); }
    void VendorWrite(std::span<const std::uint8_t> data) override {
        if (channel_) channel_->ScsiWrite(data);
    }
    void VendorRead(std::span<std::uint8_t> buffer) override {
        if (channel_) channel_->ScsiRead(buffer);
    }

private:
    quenfall::EmulatedRadio& radio_;
    std::unique_ptr<quenfall::DeviceChannel> channel_;
};

struct BusCounts {
    std::uint32_t Joins = 0, Leaves = 0, BadWrappers = 0, CutTransfers = 0;
    std::uint32_t StalledReads = 0;
    std::optional<milliseconds> Regained;  // from the stalled read to the next vendor command
};

void WriteReport(const std::string& path, const quenfall::EmulatedRadio& radio, const ScsiTarget& target,
                 const BusCounts& bus, const std::map<std::uint8_t, std::vector<std::uint8_t>>& expected) {
    const std::string temporary = path + ".new";
    {
        std::ofstream out(temporary, std::ios::trunc);
        const auto& c = target.Counts();
        out << "vendor_writes=" << c.VendorWrites << "\nvendor_reads=" << c.VendorReads
            << "\nstandard_commands=" << c.Standard << "\nunsupported_commands=" << c.Unsupported
            << "\nradio_writes=" << radio.Writes() << "\nradio_reads=" << radio.Reads()
            << "\nrestarts=" << radio.Restarts() << "\nexits_answered=" << radio.ExitsAnswered()
            << "\nin_boot_mode=" << radio.InBootMode() << "\npresent=" << radio.Present()
            << "\nbus_joins=" << bus.Joins << "\nbus_leaves=" << bus.Leaves
            << "\nbad_wrappers=" << bus.BadWrappers << "\ncut_transfers=" << bus.CutTransfers
            << "\nstalled_reads=" << bus.StalledReads << "\n";
        if (bus.Regained) out << "regained_ms=" << bus.Regained->count() << "\n";
        bool complete = !radio.Sections().empty();
        for (const auto& [id, section] : radio.Sections()) {
            out << "section=" << int(id) << " size=" << section.Size << " blocks=" << section.BlocksReceived
                << " complete=" << section.Complete << "\n";
            complete = complete && section.Complete;
        }
        const auto differences = radio.CompareSections(expected);
        for (const auto& line : differences) out << "difference=" << line << "\n";
        for (const auto& line : radio.Violations()) out << "violation=" << line << "\n";
        out << "sections_match=" << (complete && differences.empty() ? "yes" : "no") << "\n";
    }
    std::rename(temporary.c_str(), path.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = Parse(argc, argv);
    const quenfall::LoadResult loaded = quenfall::LoadPackage(options.Package);
    if (!loaded.Accepted) {
        std::cerr << "radio-gadget: " << options.Package << ": " << loaded.Reason << "\n";
        return 2;
    }
    const auto expected = quenfall::SectionsOf(*loaded.Accepted);

    quenfall::EmulatedRadioConfig config;
    config.Selection = loaded.Accepted->Selection;
    config.Now = Now;
    config.RestartTime = options.RestartTime;
    config.KeepFrameLog = false;
    quenfall::EmulatedRadio radio(config);
    if (options.VanishAtBlock) radio.SetDisappearAtBlock(*options.VanishAtBlock);

    RadioCommands commands(radio);
    commands.Reopen();
    StorageIdentity identity{options.Vendor, options.Model, "1.00"};
    identity.Removable = options.Removable;
    ScsiTarget target(identity, commands);
    BusCounts counts;

    try {
        FunctionFs usb(options.Ffs);
        Bus bus(options.UdcFile, options.Udc);
        bus.Join();
        ++counts.Joins;
        WriteReport(options.Report, radio, target, counts, expected);

        std::vector<std::uint8_t> data;
        std::uint32_t vendorReads = 0;
        bool stalled = false;
        milliseconds stalledSince{0};
        for (;;) {
            std::array<std::uint8_t, CbwLength> raw{};
            const long got = usb.ReadSome(raw);
            if (got < 0) continue;  // the bus went away; the next read waits for it
            const auto cbw = ParseCbw(std::span(raw).first(static_cast<std::size_t>(got)));
            if (!cbw) {
                ++counts.BadWrappers;
                continue;
            }
            const bool vendor = cbw->CdbLength == 16 && cbw->Cdb[0] == 0xFF;
            if (vendor && stalled) {
                counts.Regained = Now() - stalledSince;
                stalled = false;
            }
            if (vendor && cbw->Cdb[1] == 0x28 && ++vendorReads == options.StallRead) {
                // No data, no status: the host's time-out and its reset of the device end it.
                stalled = true;
                stalledSince = Now();
                ++counts.StalledReads;
                WriteReport(options.Report, radio, target, counts, expected);
                continue;
            }
            data.assign(cbw->DataIn ? 0 : cbw->DataLength, 0);
            if (!cbw->DataIn && !usb.ReadExactly(data)) {
                ++counts.CutTransfers;
                continue;
            }
            CommandResult result = target.Execute(*cbw, data);
            std::uint32_t residue = 0;
            if (cbw->DataIn && cbw->DataLength > 0) {
                // Always fill the host's whole data-in length, so no short packet has to be
                // followed by a stall; the residue says how much of it was real.
                if (result.DataIn.size() < cbw->DataLength)
                    residue = cbw->DataLength - static_cast<std::uint32_t>(result.DataIn.size());
                result.DataIn.resize(cbw->DataLength, 0);
                if (!usb.WriteAll(result.DataIn)) {
                    ++counts.CutTransfers;
                    continue;
                }
            }
            if (!usb.WriteAll(BuildCsw(cbw->Tag, residue, result.Status))) ++counts.CutTransfers;

            // The radio left the bus (restart into boot mode, reset, pulled cable): so does
            // the device, and it comes back when the radio does.
            radio.Advance();
            if (!radio.Present()) {
                commands.Drop();
                bus.Leave();
                ++counts.Leaves;
                WriteReport(options.Report, radio, target, counts, expected);
                for (;;) {
                    const auto back = radio.ReturnTime();
                    const milliseconds wait = back ? std::max(milliseconds(1), *back - Now()) : milliseconds(1000);
                    std::this_thread::sleep_for(wait);
                    radio.Advance();
                    if (radio.Present()) break;
                }
                commands.Reopen();
                bus.Join();
                ++counts.Joins;
            }
            WriteReport(options.Report, radio, target, counts, expected);
        }
    } catch (const std::exception& e) {
        std::cerr << "radio-gadget: " << e.what() << "\n";
        return 1;
    }
}
