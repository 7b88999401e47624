#pragma once
// A link that tells a dialogue trace when the radio leaves the bus and comes back, as the
// scans find it: the sequencer's and the device watch's alike, since both scan through it.
// Everything else passes straight through.
#include "upgrade/device_link.h"
#include "upgrade/upgrade_sequencer.h"

namespace quenfall {

class TracedLink final : public DeviceLink {
public:
    // The run starts with the radio there (it was found before the run).
    TracedLink(DeviceLink& inner, DialogueTrace& trace) : inner_(inner), trace_(trace) {}

    std::uint16_t ScanDrives() override;
    OpenResult OpenDevice() override { return inner_.OpenDevice(); }

private:
    DeviceLink& inner_;
    DialogueTrace& trace_;
    bool present_ = true;
};

}  // namespace quenfall
