#pragma once
// The shop window's start-up, shared by both faces' entries (quenfall --shop): where its
// radios come from (the platform's drives, or the emulated crate of --emulate N), the
// history its runs are recorded in, and the window itself, with the command line's package.
#include <filesystem>
#include <memory>
#include <string>

#include "runs/radio_source.h"
#include "history/history_file.h"
#include "history/history_recorder.h"
#include "window/shop_face.h"
#include "window/shop_window.h"
#include "window/start_options.h"

namespace quenfall::startup {

class ShopStart {
public:
    // title: the boxes' caption (window::ApplicationTitle). history: this user's history
    // unless another is named. Nothing is posted to the window's thread later: the runs'
    // states are read at every refresh tick, and an emulated crate tells its comings and
    // goings to the runs that follow its radios.
    ShopStart(const window::StartOptions& options, window::ShopFace& face, std::u16string title,
              std::filesystem::path history = HistoryPath());
    ShopStart(const ShopStart&) = delete;
    ShopStart& operator=(const ShopStart&) = delete;

    window::ShopWindow& Window() { return *window_; }
    // The window registers for the platform's USB notices unless the radios are emulated
    // (their comings and goings happen during runs, which follow them on their own).
    bool WantsUsbWatch() const { return !source_->Emulated(); }
    RadioSource& Radios() { return *source_; }
    HistoryRecorder& History() { return history_; }

private:
    std::unique_ptr<RadioSource> source_;
    HistoryRecorder history_;
    std::unique_ptr<window::ShopWindow> window_;
};

}  // namespace quenfall::startup
