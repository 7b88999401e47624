#include "emulator/emulated_radio_link.h"

namespace quenfall {

EmulatedRadioLink::EmulatedRadioLink(Post post, std::function<std::chrono::milliseconds()> now)
    : post_(std::move(post)), now_(std::move(now)), presenceChanged_(std::make_shared<std::function<void()>>()) {
    Rebuild(ProfileSelection{});
}

std::uint16_t EmulatedRadioLink::ScanDrives() { return radio_->ScanDrives(); }

OpenResult EmulatedRadioLink::OpenDevice() { return radio_->OpenDevice(); }

void EmulatedRadioLink::Adopt(const Package& package) {
    const ProfileSelection& wanted = package.Selection;
    const ProfileSelection& current = selection_;
    if (wanted.ProfileIndex == current.ProfileIndex && wanted.ScrambleMode == current.ScrambleMode &&
        wanted.CodeBank == current.CodeBank && wanted.RequestVariant == current.RequestVariant) {
        return;
    }
    Rebuild(wanted);
}

void EmulatedRadioLink::SetPresenceCallback(std::function<void()> callback) { *presenceChanged_ = std::move(callback); }

void EmulatedRadioLink::Advance() { radio_->Advance(); }

void EmulatedRadioLink::Rebuild(const ProfileSelection& selection) {
    EmulatedRadioConfig config;
    config.Selection = selection;
    selection_ = selection;
    config.KeepFrameLog = false;
    if (now_) config.Now = now_;
    radio_ = std::make_unique<EmulatedRadio>(config);
    // The radio reports from inside a scan or a read; the watch must not run there. The
    // callback is shared so that a task posted before a link is gone finds nothing to call.
    std::weak_ptr<std::function<void()>> callback = presenceChanged_;
    radio_->SetPresenceCallback([this, callback](bool) {
        post_([callback] {
            if (auto changed = callback.lock(); changed && *changed) (*changed)();
        });
    });
}

}  // namespace quenfall
