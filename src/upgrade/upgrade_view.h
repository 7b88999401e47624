#pragma once
// What the upgrade and the device watch show the user. The window implements it with its
// controls and modal boxes; the command line with lines on a terminal.
#include <chrono>
#include <string_view>

namespace quenfall {

class UpgradeView {
public:
    virtual ~UpgradeView() = default;
    virtual void SetStatusText(std::string_view text) = 0;   // the status line, whole
    virtual void SetProgressWidth(int pixels) = 0;           // 0..ProgressFullWidth
    virtual void SetSuccessIconVisible(bool visible) = 0;
    virtual void SetFailureIconVisible(bool visible) = 0;
    // Modal: returns when the user has closed the box. Timers and device changes go on
    // being handled meanwhile.
    virtual void ShowInfo(std::string_view text) = 0;
    virtual void ShowError(std::string_view text, std::string_view caption) = 0;
    // Blocks the thread; nothing else is handled meanwhile.
    virtual void Pause(std::chrono::milliseconds duration) = 0;
};

}  // namespace quenfall
